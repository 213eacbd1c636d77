// SPDX-License-Identifier: LGPL-3.0-or-later
// The main window: construction, start-up from configTool.ini and the template page arrangement.
#include "widget.h"

#include "config.h"
#include "form.h"
#include "usb.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTextEdit>

#include <unistd.h>

QString Widget::selfExeLink = QStringLiteral("/proc/self/exe");

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

    resize(465, 790);
    ui->tabWidget->setCurrentIndex(0);
    ui->tabWidget->setCurrentWidget(ui->tab1);

    AppPath();
    maxL = GetIniValue(iniGroup, QStringLiteral("MAXL")).toInt();
    minL = GetIniValue(iniGroup, QStringLiteral("MINL")).toInt();
    scaleX = GetIniValue(iniGroup, QStringLiteral("SCALE_X")).toFloat();
    scaleY = GetIniValue(iniGroup, QStringLiteral("SCALE_Y")).toFloat();
    const QString title = GetIniValue(iniGroup, QStringLiteral("TITLE")).toString();
    const int blackFront = GetIniValue(iniGroup, QStringLiteral("BlackFront")).toInt();
    const int blackBack = GetIniValue(iniGroup, QStringLiteral("BlackBack")).toInt();
    const int eraseFront = GetIniValue(iniGroup, QStringLiteral("EraseFront")).toInt();
    const int eraseBack = GetIniValue(iniGroup, QStringLiteral("EraseBack")).toInt();

    ChooseButton(blackFront, blackBack, eraseFront, eraseBack);

    setWindowTitle(title);
    ui->labelzy->setText(
        QStringLiteral("注意:该图片黑色部分是有效打印区域\n且图片为\"%1x%2\"或者\"%2x%1\"大小的bmp图片")
            .arg(maxL)
            .arg(minL));
    ui->labelzy2->setText(
        QStringLiteral("注意:该图片黑色部分是擦写区域\n且图片为\"%1x%2\"或者\"%2x%1\"大小的bmp图片")
            .arg(maxL)
            .arg(minL));

    SetImage2LabelIfExit_All();

    usb = new Usb();

    // Made after the page arrangement, so that removing and adding pages calls no slot.
    connect(ui->tabWidget, &QTabWidget::currentChanged, this, &Widget::tabChanged);

    setFixedSize(465, 790);
    const QWidget *desktop = QApplication::desktop();
    move((desktop->width() - width()) / 2, (desktop->height() - height()) / 2);
}

Widget::~Widget()
{
    delete usb;
    delete ui;
}

void Widget::ChooseButton(int printFront, int printBack, int eraseFront, int eraseBack)
{
    const int tabW = ui->tabWidget->width();
    const int tabH = ui->tabWidget->height();
    const int winW = width();
    const int winH = height();

    // One-sided pages put their content in the upper part, so the reduced size shows all of it.
    ui->tabWidget->resize(tabW, tabH / 2 + 50);

    for (int i = ui->tabWidget->count() - 1; i >= 0; --i)
        ui->tabWidget->removeTab(i);

    const QString printTitle = QStringLiteral("黑色有效区域");
    if ((printFront ^ printBack) == 1)
        ui->tabWidget->addTab(ui->tab1, printTitle);
    if (printFront == 1 && printBack == 0)
        AdjustButton(ui->label2, ui->labelzy, ui->pushButtonbm);
    else if (printFront == 0 && printBack == 1)
        MoveButton(ui->label1, ui->label2, ui->labelzy, ui->pushButtonzm, ui->pushButtonbm);
    else if (printFront != 0 && printBack != 0)
        AdjustSize(ui->tabWidget, ui->tab1, printTitle, this, tabW, tabH, winW, winH);

    const QString eraseTitle = QStringLiteral("擦写区域");
    if ((eraseFront ^ eraseBack) == 1)
        ui->tabWidget->addTab(ui->tab2, eraseTitle);
    if (eraseFront == 1 && eraseBack == 0)
        AdjustButton(ui->label4, ui->labelzy2, ui->pushButtonbm1);
    else if (eraseFront == 0 && eraseBack == 1)
        MoveButton(ui->label3, ui->label4, ui->labelzy2, ui->pushButtonzm1, ui->pushButtonbm1);
    else if (eraseFront != 0 && eraseBack != 0)
        AdjustSize(ui->tabWidget, ui->tab2, eraseTitle, this, tabW, tabH, winW, winH);

    ui->tabWidget->addTab(ui->tab3, QStringLiteral("固件升级"));
    ui->tabWidget->addTab(ui->tab4, QStringLiteral("关于"));

    ui->textEdit->setReadOnly(true);
}

void Widget::AdjustButton(QLabel *backPreview, QLabel *note, QPushButton *backButton)
{
    backPreview->hide();
    backButton->hide();
    note->move(backButton->pos());
}

void Widget::MoveButton(QLabel *frontPreview, QLabel *backPreview, QLabel *note,
                        QPushButton *frontButton, QPushButton *backButton)
{
    note->move(backButton->pos());
    backButton->move(frontButton->pos());
    backPreview->move(frontPreview->pos());
    frontPreview->hide();
    frontButton->hide();
}

void Widget::AdjustSize(QTabWidget *tabs, QWidget *page, const QString &title, Widget *window,
                        int tabW, int tabH, int winW, int winH)
{
    tabs->addTab(page, title);
    tabs->resize(tabW, tabH);
    window->resize(winW, winH);
}

void Widget::AppPath()
{
    // Read the link with room to spare: a result that fills the buffer may have been cut
    // short, so the buffer grows until the whole path fits.
    const QByteArray link = QFile::encodeName(selfExeLink);
    QByteArray target(256, '\0');
    for (;;) {
        const ssize_t length = ::readlink(link.constData(), target.data(), size_t(target.size()));
        if (length < 0)
            return;
        if (length < target.size()) {
            target.truncate(int(length));
            break;
        }
        target.resize(target.size() * 2);
    }
    appDir = QString::fromUtf8(target);
    appDir = appDir.left(appDir.lastIndexOf(QLatin1Char('/')));
}

QVariant Widget::GetIniValue(const QString &group, const QString &key)
{
    // Only a regular file is read: a named pipe in its place would block the start-up for
    // ever, a link to a device such as /dev/zero would never end. Both read as missing.
    const QFileInfo file(QStringLiteral("%1/configTool.ini").arg(appDir));
    if (file.exists() && !file.isFile())
        return QVariant();
    Config config(appDir);
    return config.getValue(group, key);
}
