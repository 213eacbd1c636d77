// SPDX-License-Identifier: LGPL-3.0-or-later
// The firmware page: printer list, choice of file and mode, and the chunked upload.
#include "widget.h"

#include "form.h"
#include "usb.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QListWidget>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QRadioButton>
#include <QTabWidget>

#include <climits>
#include <cstring>
#include <new>

namespace {

constexpr int kHeaderSize = 24;
constexpr int kPieceSize = 4096;
// Sizes and offsets of the upload are ints, so the whole buffer must stay below 2^31 bytes.
constexpr qint64 kMaxUploadSize = INT_MAX;

// Writes the upgrade header for a file of fileSize bytes at dst (kHeaderSize bytes).
void writeUpgradeHeader(char *dst, quint32 fileSize)
{
    const quint32 length = fileSize + 16; // bytes behind the length field
    const char fixed[] = {0x1C, 0x77, 0x46, 0x00};
    std::memcpy(dst, fixed, 4);
    for (int i = 0; i < 4; ++i)
        dst[4 + i] = char((length >> (8 * i)) & 0xFF);
    std::memcpy(dst + 8, "FWUP", 4);
    std::memset(dst + 12, 0, 12);
}

void refuseTooLarge()
{
    QMessageBox::warning(nullptr, QStringLiteral("错误"),
                         QStringLiteral("固件文件太大, 无法发送!"),
                         QMessageBox::Ok, QMessageBox::NoButton);
}

} // namespace

void Widget::on_enumPrintersButton_clicked()
{
    ui->printerList->clear();
    if (!usb)
        return;
    usb->enumPrinters();
    if (usb->printerNames.isEmpty())
        return;
    for (const QString &name : qAsConst(usb->printerNames))
        ui->printerList->insertItem(ui->printerList->count(), name);
    ui->printerList->setCurrentRow(0);
    usb->currentPrinter = 0;
}

void Widget::tabChanged(int tabIdx)
{
    const QString title = ui->tabWidget->tabText(tabIdx);
    if (!((title == QStringLiteral("固件升级") && usb) || title == QStringLiteral("关于")))
        return;

    ui->fwUpdateProcessBar->hide();
    on_enumPrintersButton_clicked();
    // The start-up may have left the tab widget at half height; these pages need all of it.
    if (ui->tab3->height() < 700 || ui->tab4->height() < 700)
        ui->tabWidget->resize(465, 790);
}

void Widget::on_printerList_currentRowChanged(int currentRow)
{
    if (usb)
        usb->currentPrinter = currentRow;
}

void Widget::on_detectbutton_clicked()
{
    fwPath = QFileDialog::getOpenFileName(this, QStringLiteral("选择打印机固件"), fwPath,
                                          QStringLiteral("所有(*);; FW(*.mot)"));
    if (fwPath.size() > 5)
        ui->curPrintFWFile->setText(fwPath);
}

void Widget::on_doFWUpdate_clicked()
{
    updateFW(ui->stdFWUpdate->isChecked());
}

void Widget::updateFW(bool withHeader)
{
    if (!usb || usb->currentPrinter < 0)
        return;

    QProgressBar *bar = ui->fwUpdateProcessBar;
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->show();

    QFile file(fwPath);
    if (!file.open(QIODevice::ReadOnly))
        return;

    const int headerSize = withHeader ? kHeaderSize : 0;
    // Taken from the file system, so a huge file is refused before any of it is read.
    const qint64 fileSize = QFileInfo(file).size();
    if (fileSize + headerSize > kMaxUploadSize) {
        file.close();
        refuseTooLarge();
        bar->hide();
        return;
    }

    // One buffer for the whole upload: the header goes in front, the file right behind it.
    QByteArray buffer;
    try {
        buffer = QByteArray(int(headerSize + fileSize), Qt::Uninitialized);
    } catch (const std::bad_alloc &) {
        // QByteArray cannot hold quite 2^31 - 1 bytes, and memory may run out before that.
        file.close();
        refuseTooLarge();
        bar->hide();
        return;
    }

    qint64 got = 0;
    while (got < fileSize) {
        const qint64 n = file.read(buffer.data() + headerSize + got, fileSize - got);
        if (n < 0) {
            // Half a firmware must never reach the printer: treat it like an unreadable file.
            return;
        }
        if (n == 0)
            break; // the file shrank since its size was taken: send what it holds now
        got += n;
    }
    file.close();
    if (got < fileSize)
        buffer.truncate(int(headerSize + got));
    if (withHeader)
        writeUpgradeHeader(buffer.data(), quint32(got));

    const int total = buffer.size();
    const auto *data = reinterpret_cast<const unsigned char *>(buffer.constData());
    int offset = 0;
    int remaining = total;
    while (remaining > 0) {
        const int length = qMin(remaining, kPieceSize);
        if (!usb->sendData(data + offset, length)) {
            QMessageBox::warning(nullptr, QStringLiteral("错误"),
                                 QStringLiteral("发送数据到打印机出错, \r\n请检查打印机状态!"),
                                 QMessageBox::Ok, QMessageBox::NoButton);
            return;
        }
        // Counts the bytes sent before this piece; setValue repaints at once, which matters
        // because the event loop does not run until the upload ends.
        bar->setValue(static_cast<int>(double(offset) / total * 100.0));
        remaining -= kPieceSize;
        if (remaining > 0)
            offset += kPieceSize;
    }

    bar->setValue(100);
    QMessageBox::information(nullptr, QStringLiteral("完成"),
                             QStringLiteral("固件数据已经发送完毕, 请根据打印机面板进行后续操作!"),
                             QMessageBox::Ok, QMessageBox::NoButton);
    bar->hide();
}
