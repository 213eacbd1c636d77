// SPDX-License-Identifier: LGPL-3.0-or-later
// Answers the modal dialogs that the code under test opens, from inside their own event loops.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <functional>

class QWidget;

// What a modal dialog looked like when it was answered.
struct SeenDialog
{
    QString className;   // "QMessageBox", "QFileDialog", ...
    QString title;       // window title
    QString text;        // message box text; empty for other dialogs
    int icon = -1;       // QMessageBox::Icon, -1 for other dialogs
    QStringList buttons; // texts of the message box buttons
    bool hasParent = false;
    QString directory;   // file dialog: directory shown when it opened
    QStringList selected;// file dialog: files selected when it opened
    QString nameFilters; // file dialog: filters joined by ";;"
};

// Queue answers before triggering the action; each answer handles one modal dialog,
// in order. Check `seen()` and `pending()` afterwards.
class DialogDriver : public QObject
{
    Q_OBJECT

public:
    using Answer = std::function<void(QWidget *)>;

    explicit DialogDriver(QObject *parent = nullptr);
    ~DialogDriver() override;

    DialogDriver &then(Answer answer);

    // Ready-made answers.
    static Answer chooseFile(const QString &path);   // QFileDialog: accept with this file
    static Answer cancel();                          // any dialog: reject / Escape
    static Answer clickButton(const QString &text);  // QMessageBox: press the button with this text
    static Answer pressEscape();                     // key press Escape on the dialog
    static Answer accept();                          // QDialog::accept / first accept button

    int pending() const { return m_answers.size(); }
    const QVector<SeenDialog> &seen() const { return m_seen; }

private:
    void poll();

    QTimer m_timer;
    QVector<Answer> m_answers;
    QVector<SeenDialog> m_seen;
    QPointer<QWidget> m_lastAnswered;
};
