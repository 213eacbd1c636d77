// SPDX-License-Identifier: LGPL-3.0-or-later
// The main window's form: every widget of the window, placed by absolute geometry.
#include "form.h"

#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QTabWidget>
#include <QTextEdit>
#include <QTextStream>
#include <QWidget>

// The licence texts are compiled into a static library; without this call the linker
// drops their resource object from executables that do not refer to it.
static void initLicenceResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace {

QString translated(const char *text)
{
    return QCoreApplication::translate("Widget", text, nullptr);
}

// The lines of a licence text as shipped in the resources; empty if it is missing.
QStringList licenceLines(const QString &resource)
{
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QTextStream in(&file);
    in.setCodec("UTF-8");
    QStringList lines;
    while (!in.atEnd())
        lines << in.readLine();
    return lines;
}

// The About page as Qt rich text, in the shape QTextEdit::toHtml gives it: one paragraph
// per line, an empty paragraph for a blank line.
QString aboutDocument()
{
    initLicenceResources();

    QStringList lines;
    lines << QStringLiteral("本卡机设置工具以动态链接的方式使用Qt 5，遵循LGPL 3.0版本许可，未对Qt的库文件做任何修改。")
          << QString()
          << QStringLiteral("License如下:")
          << QStringLiteral("GNU Lesser General Public License (LGPL) ")
          << QStringLiteral("Qt is available under the GNU Lesser General Public License version 3.")
          << QStringLiteral("The Qt Toolkit is Copyright (C) The Qt Company Ltd. and other contributors.")
          << QStringLiteral("Contact: https://www.qt.io/licensing/")
          << QStringLiteral("Reference:")
          << QStringLiteral("GNU Lesser General Public License, version 3 ")
          << QStringLiteral("LGPL version 3")
          << QString();
    lines << licenceLines(QStringLiteral(":/about/LGPL-3"));
    lines << licenceLines(QStringLiteral(":/about/GPL-3"));

    static const QString margins = QStringLiteral(
        "margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; "
        "-qt-block-indent:0; text-indent:0px;");
    QString html = QStringLiteral(
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\" \"http://www.w3.org/TR/REC-html40/strict.dtd\">\n"
        "<html><head><meta name=\"qrichtext\" content=\"1\" /><style type=\"text/css\">\n"
        "p, li { white-space: pre-wrap; }\n"
        "</style></head><body style=\" font-family:'Ubuntu'; font-size:11pt; font-weight:400; font-style:normal;\">\n");
    html.reserve(160000);
    for (int i = 0; i < lines.size(); ++i) {
        if (i > 0)
            html += QLatin1Char('\n');
        const QString &line = lines.at(i);
        if (line.isEmpty())
            html += QStringLiteral("<p style=\"-qt-paragraph-type:empty; ") + margins
                    + QStringLiteral("\"><br /></p>");
        else
            html += QStringLiteral("<p style=\" ") + margins + QStringLiteral("\">")
                    + line.toHtmlEscaped() + QStringLiteral("</p>");
    }
    html += QStringLiteral("</body></html>");
    return html;
}

void setGeometry(QWidget *w, int x, int y, int width, int height)
{
    w->setGeometry(QRect(x, y, width, height));
}

void setupExplanationLine(QLabel *label, const char *name, int x, int y)
{
    label->setObjectName(QString::fromLatin1(name));
    setGeometry(label, x, y, 391, 21);
    label->setStyleSheet(QStringLiteral("border: 0px;"));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
}

} // namespace

void Ui_Widget::setupUi(QWidget *Widget)
{
    if (Widget->objectName().isEmpty())
        Widget->setObjectName(QStringLiteral("Widget"));
    Widget->resize(460, 785);
    Widget->setMinimumSize(QSize(460, 450));
    Widget->setMaximumSize(QSize(465, 790));

    tabWidget = new QTabWidget(Widget);
    tabWidget->setObjectName(QStringLiteral("tabWidget"));
    tabWidget->setEnabled(true);
    setGeometry(tabWidget, 9, 9, 445, 769);
    tabWidget->setMinimumSize(QSize(0, 0));
    tabWidget->setMaximumSize(QSize(450, 770));
    tabWidget->setTabShape(QTabWidget::Rounded);
    tabWidget->setElideMode(Qt::ElideMiddle);
    tabWidget->setUsesScrollButtons(false);
    tabWidget->setDocumentMode(false);
    tabWidget->setTabsClosable(false);
    tabWidget->setMovable(false);
    tabWidget->setTabBarAutoHide(false);

    // Print area templates.
    tab1 = new QWidget();
    tab1->setObjectName(QStringLiteral("tab1"));
    pushButtonzm = new QPushButton(tab1);
    pushButtonzm->setObjectName(QStringLiteral("pushButtonzm"));
    setGeometry(pushButtonzm, 0, 10, 101, 41);
    pushButtonbm = new QPushButton(tab1);
    pushButtonbm->setObjectName(QStringLiteral("pushButtonbm"));
    setGeometry(pushButtonbm, 0, 340, 101, 41);
    label2 = new QLabel(tab1);
    label2->setObjectName(QStringLiteral("label2"));
    setGeometry(label2, 110, 340, 321, 321);
    label2->setFrameShape(QFrame::Box);
    label2->setFrameShadow(QFrame::Plain);
    label2->setAlignment(Qt::AlignCenter);
    labelzy = new QLabel(tab1);
    labelzy->setObjectName(QStringLiteral("labelzy"));
    setGeometry(labelzy, 0, 670, 431, 61);
    label1 = new QLabel(tab1);
    label1->setObjectName(QStringLiteral("label1"));
    setGeometry(label1, 110, 10, 321, 321);
    label1->setLayoutDirection(Qt::LeftToRight);
    label1->setFrameShape(QFrame::Box);
    label1->setFrameShadow(QFrame::Plain);
    label1->setAlignment(Qt::AlignCenter);
    tabWidget->addTab(tab1, QString());

    // Erase area templates.
    tab2 = new QWidget();
    tab2->setObjectName(QStringLiteral("tab2"));
    tab2->setContextMenuPolicy(Qt::DefaultContextMenu);
    pushButtonbm1 = new QPushButton(tab2);
    pushButtonbm1->setObjectName(QStringLiteral("pushButtonbm1"));
    setGeometry(pushButtonbm1, 0, 340, 101, 41);
    pushButtonzm1 = new QPushButton(tab2);
    pushButtonzm1->setObjectName(QStringLiteral("pushButtonzm1"));
    setGeometry(pushButtonzm1, 0, 10, 101, 41);
    label3 = new QLabel(tab2);
    label3->setObjectName(QStringLiteral("label3"));
    label3->setEnabled(true);
    setGeometry(label3, 110, 10, 321, 321);
    label3->setFrameShape(QFrame::Panel);
    label3->setAlignment(Qt::AlignCenter);
    label4 = new QLabel(tab2);
    label4->setObjectName(QStringLiteral("label4"));
    setGeometry(label4, 110, 340, 321, 321);
    label4->setFrameShape(QFrame::Panel);
    label4->setAlignment(Qt::AlignCenter);
    labelzy2 = new QLabel(tab2);
    labelzy2->setObjectName(QStringLiteral("labelzy2"));
    setGeometry(labelzy2, 0, 670, 431, 61);
    tabWidget->addTab(tab2, QString());
    label3->raise();
    pushButtonbm1->raise();
    pushButtonzm1->raise();
    label4->raise();
    labelzy2->raise();

    // Firmware upgrade.
    tab3 = new QWidget();
    tab3->setObjectName(QStringLiteral("tab3"));
    tab3->setFocusPolicy(Qt::NoFocus);
    groupBox = new QGroupBox(tab3);
    groupBox->setObjectName(QStringLiteral("groupBox"));
    setGeometry(groupBox, 10, 20, 421, 191);
    groupBox->setStyleSheet(QString());
    printerList = new QListWidget(groupBox);
    printerList->setObjectName(QStringLiteral("printerList"));
    setGeometry(printerList, 10, 40, 401, 101);
    enumPrintersButton = new QPushButton(groupBox);
    enumPrintersButton->setObjectName(QStringLiteral("enumPrintersButton"));
    setGeometry(enumPrintersButton, 310, 10, 99, 27);
    fwUpdateProcessBar = new QProgressBar(groupBox);
    fwUpdateProcessBar->setObjectName(QStringLiteral("fwUpdateProcessBar"));
    fwUpdateProcessBar->setEnabled(true);
    setGeometry(fwUpdateProcessBar, 10, 150, 401, 23);
    fwUpdateProcessBar->setStyleSheet(QString());
    fwUpdateProcessBar->setValue(0);
    groupBox_2 = new QGroupBox(tab3);
    groupBox_2->setObjectName(QStringLiteral("groupBox_2"));
    setGeometry(groupBox_2, 10, 210, 421, 81);
    detectbutton = new QPushButton(groupBox_2);
    detectbutton->setObjectName(QStringLiteral("detectbutton"));
    setGeometry(detectbutton, 310, 10, 99, 27);
    curPrintFWFile = new QLineEdit(groupBox_2);
    curPrintFWFile->setObjectName(QStringLiteral("curPrintFWFile"));
    setGeometry(curPrintFWFile, 10, 40, 401, 27);
    groupBox_3 = new QGroupBox(tab3);
    groupBox_3->setObjectName(QStringLiteral("groupBox_3"));
    setGeometry(groupBox_3, 10, 300, 421, 61);
    stdFWUpdate = new QRadioButton(groupBox_3);
    stdFWUpdate->setObjectName(QStringLiteral("stdFWUpdate"));
    setGeometry(stdFWUpdate, 20, 30, 121, 22);
    stdFWUpdate->setChecked(true);
    nonStdFWUpdate = new QRadioButton(groupBox_3);
    nonStdFWUpdate->setObjectName(QStringLiteral("nonStdFWUpdate"));
    setGeometry(nonStdFWUpdate, 150, 30, 131, 22);
    doFWUpdate = new QPushButton(groupBox_3);
    doFWUpdate->setObjectName(QStringLiteral("doFWUpdate"));
    setGeometry(doFWUpdate, 310, 30, 99, 27);
    groupBox_4 = new QGroupBox(tab3);
    groupBox_4->setObjectName(QStringLiteral("groupBox_4"));
    setGeometry(groupBox_4, 10, 370, 421, 191);
    groupBox_4->setStyleSheet(QStringLiteral("border: 1px solid;  color: rgb(170, 170, 170)"));
    label = new QLabel(groupBox_4);
    setupExplanationLine(label, "label", 20, 20);
    label_2 = new QLabel(groupBox_4);
    setupExplanationLine(label_2, "label_2", 20, 40);
    label_3 = new QLabel(groupBox_4);
    setupExplanationLine(label_3, "label_3", 10, 60);
    label_4 = new QLabel(groupBox_4);
    setupExplanationLine(label_4, "label_4", 10, 110);
    label_5 = new QLabel(groupBox_4);
    setupExplanationLine(label_5, "label_5", 10, 90);
    label_6 = new QLabel(groupBox_4);
    setupExplanationLine(label_6, "label_6", 10, 130);
    label_7 = new QLabel(groupBox_4);
    setupExplanationLine(label_7, "label_7", 10, 150);
    tabWidget->addTab(tab3, QString());

    // About.
    tab4 = new QWidget();
    tab4->setObjectName(QStringLiteral("tab4"));
    groupBox_5 = new QGroupBox(tab4);
    groupBox_5->setObjectName(QStringLiteral("groupBox_5"));
    setGeometry(groupBox_5, 20, 20, 411, 701);
    textEdit = new QTextEdit(groupBox_5);
    textEdit->setObjectName(QStringLiteral("textEdit"));
    setGeometry(textEdit, 50, 20, 321, 681);
    tabWidget->addTab(tab4, QString());

    retranslateUi(Widget);

    tabWidget->setCurrentIndex(3);

    QMetaObject::connectSlotsByName(Widget);
}

void Ui_Widget::retranslateUi(QWidget *Widget)
{
    Widget->setWindowTitle(translated("Widget"));
    pushButtonzm->setText(translated("正面"));
    pushButtonbm->setText(translated("反面"));
    label2->setText(QString());
    labelzy->setText(translated("<html><head/><body><p>注意:该图片黑色部分是有效打印区域</p><p>且图片为&quot;1016x656&quot;或者&quot;656x1016&quot;大小的bmp图片</p></body></html>"));
    label1->setText(QString());
    tabWidget->setTabText(tabWidget->indexOf(tab1), translated("黑色有效区域"));
    pushButtonbm1->setText(translated("反面"));
    pushButtonzm1->setText(translated("正面"));
    label3->setText(QString());
    label4->setText(QString());
    labelzy2->setText(translated("<html><head/><body><p>注意:该图片黑色部分是擦写区域</p><p>且图片为&quot;1016x656&quot;或者&quot;656x1016&quot;大小的bmp图片</p></body></html>"));
    tabWidget->setTabText(tabWidget->indexOf(tab2), translated("擦写区域"));
    groupBox->setTitle(translated("打印机列表"));
    enumPrintersButton->setText(translated("枚举打印机"));
    groupBox_2->setTitle(translated("升级固件"));
    detectbutton->setText(translated("选择固件"));
    curPrintFWFile->setPlaceholderText(translated("请选择需要关系的固件文件"));
    groupBox_3->setTitle(translated("升级类型"));
    stdFWUpdate->setText(translated("常规模式更新"));
    nonStdFWUpdate->setText(translated("ROOT模式更新"));
    doFWUpdate->setText(translated("升级打印机"));
    groupBox_4->setTitle(QString());
    label->setText(translated("常规模式更新:"));
    label_2->setText(translated("    打印机待机状态下, 发送版本件进行固件升级. 可以更新"));
    label_3->setText(translated("FPGA, 程序版本,主程版本."));
    label_4->setText(translated("    打印机进入更新模式后, 发送版本文件进行固件升级.可以"));
    label_5->setText(translated("ROOT模式更新:"));
    label_6->setText(translated("更新子程序ROOT, 主程序BOOT,FPGA, 子程序版本, 主程序"));
    label_7->setText(translated("版本."));
    tabWidget->setTabText(tabWidget->indexOf(tab3), translated("固件升级"));
    groupBox_5->setTitle(translated("说明"));
    textEdit->setHtml(aboutDocument());
    tabWidget->setTabText(tabWidget->indexOf(tab4), translated("关于"));
}
