// Placeholder form: creates the widgets with their parents; geometry and texts to come.
#include "form.h"

#include <QtWidgets>

void Ui_Widget::setupUi(QWidget *Widget)
{
    tabWidget = new QTabWidget(Widget);
    tab1 = new QWidget();
    pushButtonzm = new QPushButton(tab1); pushButtonzm->setObjectName("pushButtonzm");
    pushButtonbm = new QPushButton(tab1); pushButtonbm->setObjectName("pushButtonbm");
    label2 = new QLabel(tab1);
    labelzy = new QLabel(tab1);
    label1 = new QLabel(tab1);
    tabWidget->addTab(tab1, QString());
    tab2 = new QWidget();
    pushButtonbm1 = new QPushButton(tab2); pushButtonbm1->setObjectName("pushButtonbm1");
    pushButtonzm1 = new QPushButton(tab2); pushButtonzm1->setObjectName("pushButtonzm1");
    label3 = new QLabel(tab2);
    label4 = new QLabel(tab2);
    labelzy2 = new QLabel(tab2);
    tabWidget->addTab(tab2, QString());
    tab3 = new QWidget();
    groupBox = new QGroupBox(tab3);
    printerList = new QListWidget(groupBox); printerList->setObjectName("printerList");
    enumPrintersButton = new QPushButton(groupBox); enumPrintersButton->setObjectName("enumPrintersButton");
    fwUpdateProcessBar = new QProgressBar(groupBox);
    groupBox_2 = new QGroupBox(tab3);
    detectbutton = new QPushButton(groupBox_2); detectbutton->setObjectName("detectbutton");
    curPrintFWFile = new QLineEdit(groupBox_2);
    groupBox_3 = new QGroupBox(tab3);
    stdFWUpdate = new QRadioButton(groupBox_3); stdFWUpdate->setChecked(true);
    nonStdFWUpdate = new QRadioButton(groupBox_3);
    doFWUpdate = new QPushButton(groupBox_3); doFWUpdate->setObjectName("doFWUpdate");
    groupBox_4 = new QGroupBox(tab3);
    label = new QLabel(groupBox_4);
    label_2 = new QLabel(groupBox_4);
    label_3 = new QLabel(groupBox_4);
    label_4 = new QLabel(groupBox_4);
    label_5 = new QLabel(groupBox_4);
    label_6 = new QLabel(groupBox_4);
    label_7 = new QLabel(groupBox_4);
    tabWidget->addTab(tab3, QString());
    tab4 = new QWidget();
    groupBox_5 = new QGroupBox(tab4);
    textEdit = new QTextEdit(groupBox_5);
    tabWidget->addTab(tab4, QString());
    retranslateUi(Widget);
    tabWidget->setCurrentIndex(3);
    QMetaObject::connectSlotsByName(Widget);
}

void Ui_Widget::retranslateUi(QWidget *)
{
    tabWidget->setTabText(tabWidget->indexOf(tab1), QStringLiteral("黑色有效区域"));
    tabWidget->setTabText(tabWidget->indexOf(tab2), QStringLiteral("擦写区域"));
    tabWidget->setTabText(tabWidget->indexOf(tab3), QStringLiteral("固件升级"));
    tabWidget->setTabText(tabWidget->indexOf(tab4), QStringLiteral("关于"));
}
