// SPDX-License-Identifier: LGPL-3.0-or-later
// The main window's form: every widget of the window, placed by absolute geometry.
#pragma once

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTextEdit;
class QWidget;

class Ui_Widget
{
public:
    QTabWidget *tabWidget = nullptr;
    QWidget *tab1 = nullptr;
    QPushButton *pushButtonzm = nullptr;
    QPushButton *pushButtonbm = nullptr;
    QLabel *label2 = nullptr;
    QLabel *labelzy = nullptr;
    QLabel *label1 = nullptr;
    QWidget *tab2 = nullptr;
    QPushButton *pushButtonbm1 = nullptr;
    QPushButton *pushButtonzm1 = nullptr;
    QLabel *label3 = nullptr;
    QLabel *label4 = nullptr;
    QLabel *labelzy2 = nullptr;
    QWidget *tab3 = nullptr;
    QGroupBox *groupBox = nullptr;
    QListWidget *printerList = nullptr;
    QPushButton *enumPrintersButton = nullptr;
    QProgressBar *fwUpdateProcessBar = nullptr;
    QGroupBox *groupBox_2 = nullptr;
    QPushButton *detectbutton = nullptr;
    QLineEdit *curPrintFWFile = nullptr;
    QGroupBox *groupBox_3 = nullptr;
    QRadioButton *stdFWUpdate = nullptr;
    QRadioButton *nonStdFWUpdate = nullptr;
    QPushButton *doFWUpdate = nullptr;
    QGroupBox *groupBox_4 = nullptr;
    QLabel *label = nullptr;
    QLabel *label_2 = nullptr;
    QLabel *label_3 = nullptr;
    QLabel *label_4 = nullptr;
    QLabel *label_5 = nullptr;
    QLabel *label_6 = nullptr;
    QLabel *label_7 = nullptr;
    QWidget *tab4 = nullptr;
    QGroupBox *groupBox_5 = nullptr;
    QTextEdit *textEdit = nullptr;

    void setupUi(QWidget *Widget);
    void retranslateUi(QWidget *Widget);
};
