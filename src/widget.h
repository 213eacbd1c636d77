// SPDX-License-Identifier: LGPL-3.0-or-later
// The one main window: template pages, firmware page and About page.
#pragma once

#include <QString>
#include <QVariant>
#include <QWidget>

#include <FreeImage.h>

class QLabel;
class QPushButton;
class QTabWidget;
class Ui_Widget;
class Usb;

class Widget : public QWidget
{
    Q_OBJECT

public:
    explicit Widget(QWidget *parent = nullptr);
    ~Widget() override;

    // Start-up: page arrangement from the configured template flags.
    void ChooseButton(int printFront, int printBack, int eraseFront, int eraseBack);
    void AdjustButton(QLabel *backPreview, QLabel *note, QPushButton *backButton);
    void MoveButton(QLabel *frontPreview, QLabel *backPreview, QLabel *note,
                    QPushButton *frontButton, QPushButton *backButton);
    void AdjustSize(QTabWidget *tabs, QWidget *page, const QString &title, Widget *window,
                    int tabW, int tabH, int winW, int winH);

    // Configuration beside the executable.
    void AppPath();
    QVariant GetIniValue(const QString &group, const QString &key);

    // Template slots.
    bool ChooseImage();
    bool DetectFormat(FIBITMAP **image);
    void CheckImage(const QString &targetPath, QLabel *preview);
    bool SaveImage(const QString &targetPath, FIBITMAP **image);
    void SetImage2Label(const QString &path, QLabel *label);
    void SetImage2LabelIfExit_All();

    // Firmware page.
    void updateFW(bool withHeader);

private slots:
    void on_pushButtonzm_clicked();
    void on_pushButtonbm_clicked();
    void on_detectbutton_clicked();
    void on_pushButtonzm1_clicked();
    void on_pushButtonbm1_clicked();
    void tabChanged(int tabIdx);
    void on_enumPrintersButton_clicked();
    void on_doFWUpdate_clicked();
    void on_printerList_currentRowChanged(int currentRow);

private:
    friend class WidgetInspector; // test access to the window's state

    QString imagePath;
    QString imageFilter;
    QString appDir;
    QString iniGroup;
    FIBITMAP *bitmap = nullptr;
    int imageMaxL = 0;
    int imageMinL = 0;
    int maxL = 0;
    int minL = 0;
    float scaleX = 0;
    float scaleY = 0;
    Usb *usb = nullptr;
    QString fwPath;
    Ui_Widget *ui = nullptr;
    QString printFrontName;
    QString printBackName;
    QString eraseFrontName;
    QString eraseBackName;

    // The link that names the running executable; tests point it at a link of their own.
    static QString selfExeLink;
};
