// SPDX-License-Identifier: LGPL-3.0-or-later
#include "dialogdriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTest>

DialogDriver::DialogDriver(QObject *parent)
    : QObject(parent)
{
    m_timer.setInterval(5);
    connect(&m_timer, &QTimer::timeout, this, &DialogDriver::poll);
    m_timer.start();
}

DialogDriver::~DialogDriver() = default;

DialogDriver &DialogDriver::then(Answer answer)
{
    m_answers.append(std::move(answer));
    return *this;
}

void DialogDriver::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || m_answers.isEmpty() || !modal->isVisible())
        return;
    // A dialog that was answered may still be on screen for a moment while it closes.
    if (modal == m_lastAnswered)
        return;

    SeenDialog s;
    s.className = QString::fromLatin1(modal->metaObject()->className());
    s.title = modal->windowTitle();
    s.hasParent = modal->parentWidget() != nullptr;
    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        s.text = box->text();
        s.icon = box->icon();
        for (QAbstractButton *b : box->buttons())
            s.buttons << b->text();
    } else if (auto *fd = qobject_cast<QFileDialog *>(modal)) {
        s.directory = fd->directory().absolutePath();
        s.selected = fd->selectedFiles();
        s.nameFilters = fd->nameFilters().join(QStringLiteral(";;"));
    }
    m_seen.append(s);

    m_lastAnswered = modal;
    Answer answer = m_answers.takeFirst();
    answer(modal);
}

DialogDriver::Answer DialogDriver::chooseFile(const QString &path)
{
    return [path](QWidget *w) {
        auto *fd = qobject_cast<QFileDialog *>(w);
        QVERIFY2(fd, "expected a file dialog");
        fd->selectFile(path);
        static_cast<QDialog *>(fd)->accept(); // QFileDialog::accept is protected
    };
}

DialogDriver::Answer DialogDriver::cancel()
{
    return [](QWidget *w) {
        if (auto *d = qobject_cast<QDialog *>(w))
            d->reject();
        else
            w->close();
    };
}

DialogDriver::Answer DialogDriver::clickButton(const QString &text)
{
    return [text](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        QVERIFY2(box, "expected a message box");
        for (QAbstractButton *b : box->buttons()) {
            if (b->text() == text) {
                b->click();
                return;
            }
        }
        QFAIL(qPrintable(QStringLiteral("no button \"%1\"").arg(text)));
    };
}

DialogDriver::Answer DialogDriver::pressEscape()
{
    return [](QWidget *w) { QTest::keyClick(w, Qt::Key_Escape); };
}

DialogDriver::Answer DialogDriver::accept()
{
    return [](QWidget *w) {
        if (auto *box = qobject_cast<QMessageBox *>(w)) {
            for (QAbstractButton *b : box->buttons()) {
                const auto role = box->buttonRole(b);
                if (role == QMessageBox::AcceptRole || role == QMessageBox::YesRole) {
                    b->click();
                    return;
                }
            }
        }
        if (auto *d = qobject_cast<QDialog *>(w))
            d->accept();
    };
}
