// Placeholder: construction and start-up to come.
#include "widget.h"

#include "config.h"
#include "form.h"
#include "usb.h"

#include <QtWidgets>

Widget::Widget(QWidget *parent)
    : QWidget(parent)
    , imagePath(QStringLiteral("."))
    , imageFilter(QStringLiteral("所有(*);; bmp(*.bmp)"))
    , iniGroup(QStringLiteral("CONFIG_PRINTER"))
    , ui(new Ui_Widget)
    , printFrontName(QStringLiteral("kValid.bmp"))
    , printBackName(QStringLiteral("kValidR.bmp"))
    , eraseFrontName(QStringLiteral("erasing_custom.bmp"))
    , eraseBackName(QStringLiteral("erasing_custom_r.bmp"))
{
    ui->setupUi(this);
    AppPath();
    maxL = GetIniValue(iniGroup, QStringLiteral("MAXL")).toInt();
    minL = GetIniValue(iniGroup, QStringLiteral("MINL")).toInt();
    scaleX = GetIniValue(iniGroup, QStringLiteral("SCALE_X")).toFloat();
    scaleY = GetIniValue(iniGroup, QStringLiteral("SCALE_Y")).toFloat();
    SetImage2LabelIfExit_All();
    usb = new Usb();
    connect(ui->tabWidget, &QTabWidget::currentChanged, this, &Widget::tabChanged);
    setFixedSize(465, 790);
}

Widget::~Widget()
{
    delete usb;
    delete ui;
}

void Widget::ChooseButton(int, int, int, int) {}
void Widget::AdjustButton(QLabel *, QLabel *, QPushButton *) {}
void Widget::MoveButton(QLabel *, QLabel *, QLabel *, QPushButton *, QPushButton *) {}
void Widget::AdjustSize(QTabWidget *, QWidget *, const QString &, Widget *, int, int, int, int) {}

void Widget::AppPath()
{
    appDir = QCoreApplication::applicationDirPath();
}

QVariant Widget::GetIniValue(const QString &group, const QString &key)
{
    Config config(appDir);
    return config.getValue(group, key);
}
