// SPDX-License-Identifier: LGPL-3.0-or-later
// Card area templates: choose, check, preview, confirm and store one slot's bitmap,
// and show the stored templates when the window opens.
#include "widget.h"

#include "bmpfile.h"
#include "form.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QSaveFile>

#include <unistd.h>

#include <cerrno>

namespace {

// Far above any sensible preview; a tiny divisor must not ask for a giant pixmap.
constexpr float kMaxPreviewSide = 16384.0f;

// One side of a preview, or 0 when the divisor gives no usable size (0, negative, too large).
int previewSide(int pictureSide, float divisor)
{
    const float side = float(pictureSide) / divisor;
    if (!(side >= 1.0f) || side > kMaxPreviewSide)
        return 0;
    return int(side);
}

// The slot's file in the application directory. One pass of arg(), so that a directory
// whose name holds "%1" or "%2" stays as it is.
QString slotPath(const QString &dir, const QString &fileName)
{
    return QStringLiteral("%1/%2").arg(dir, fileName);
}

// Releases the candidate however the sequence ends.
class CandidateGuard
{
public:
    explicit CandidateGuard(FIBITMAP *&bitmap) : m_bitmap(bitmap) {}
    ~CandidateGuard()
    {
        if (m_bitmap) {
            FreeImage_Unload(m_bitmap);
            m_bitmap = nullptr;
        }
    }
    CandidateGuard(const CandidateGuard &) = delete;
    CandidateGuard &operator=(const CandidateGuard &) = delete;

private:
    FIBITMAP *&m_bitmap;
};

// QSaveFile ignores a failed sync at commit; a template whose bytes may not have reached
// the disk must not replace the old one. EINVAL: the file system cannot sync at all.
bool syncedToDisk(QFileDevice &file)
{
    return ::fsync(file.handle()) == 0 || errno == EINVAL;
}

} // namespace

void Widget::CheckImage(const QString &targetPath, QLabel *preview)
{
    if (!ChooseImage())
        return;

    CandidateGuard guard(bitmap);
    if (!DetectFormat(&bitmap))
        return;

    SetImage2Label(imagePath, preview);

    QMessageBox ask;
    ask.setIcon(QMessageBox::NoIcon);
    ask.setWindowTitle(QStringLiteral("提示"));
    ask.setText(QStringLiteral("是否选择此图片？"));
    ask.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    ask.button(QMessageBox::Yes)->setText(QStringLiteral("确认"));
    ask.button(QMessageBox::No)->setText(QStringLiteral("取消"));

    // Escape and closing the box count as "取消".
    if (ask.exec() == QMessageBox::No || !SaveImage(targetPath, &bitmap)) {
        preview->clear();
        preview->setFrameShape(QFrame::Box);
        SetImage2Label(targetPath, preview);
    }
}

bool Widget::ChooseImage()
{
    imagePath = QFileDialog::getOpenFileName(this, QStringLiteral("选择图片"), imagePath, imageFilter);
    return !imagePath.isNull();
}

bool Widget::DetectFormat(FIBITMAP **image)
{
    *image = bmpfile::loadMonochromeFile(imagePath);
    const bool wrongFormat = !*image || FreeImage_GetImageType(*image) != FIT_BITMAP
                             || FreeImage_GetBPP(*image) != 1;
    const int width = *image ? int(FreeImage_GetWidth(*image)) : 0;
    const int height = *image ? int(FreeImage_GetHeight(*image)) : 0;
    imageMaxL = qMax(width, height);
    imageMinL = qMin(width, height);

    if (wrongFormat) {
        QMessageBox::critical(this, QStringLiteral("注意"),
                              QStringLiteral("图片不是单色图或者不是bmp格式,请重新选择确认"));
        return false;
    }
    if (imageMaxL == maxL && imageMinL == minL)
        return true;
    QMessageBox::critical(this, QStringLiteral("注意"),
                          QStringLiteral("图片尺寸不符合\"%1x%2\"或者\"%2x%1\"").arg(maxL).arg(minL));
    return false;
}

bool Widget::SaveImage(const QString &targetPath, FIBITMAP **image)
{
    // The new template goes to a file beside the old one and replaces it only once it
    // is complete, so a failed write never leaves a damaged template behind.
    // Unbuffered: QSaveFile notices failed writes, but not a failed flush of its buffer
    // at commit, which would put a short file in place of the old template.
    QString why;
    QSaveFile file(targetPath);
    if (QFileInfo(targetPath).isDir()) {
        why = QStringLiteral("模板文件的位置被一个同名文件夹占用");
    } else if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        why = QStringLiteral("程序所在的目录无法写入");
    } else if (!bmpfile::save(*image, &file) || !syncedToDisk(file)) {
        file.cancelWriting();
        why = QStringLiteral("写入出错，磁盘可能已满");
    } else if (!file.commit()) {
        why = file.error() == QFileDevice::RenameError ? QStringLiteral("无法替换原有的模板文件")
                                                       : QStringLiteral("写入出错，磁盘可能已满");
    }

    FreeImage_Unload(*image);
    *image = nullptr;

    if (!why.isEmpty()) {
        QMessageBox::critical(this, QStringLiteral("注意"),
                              QStringLiteral("模板未能保存：%1。原有的模板保持不变。").arg(why));
        return false;
    }
    imagePath = QString();
    return true;
}

void Widget::SetImage2Label(const QString &path, QLabel *label)
{
    // Only regular files: a named pipe in a template's place would block the window for good.
    QImage image;
    if (!QFileInfo(path).isFile() || !image.load(path))
        return;
    // Qt turns a 1-bit picture into screen pixels one bit at a time; through 8-bit indexed
    // colour the pixels come out the same, several times faster (four previews at start-up).
    if (image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB)
        image = image.convertToFormat(QImage::Format_Indexed8);
    const QPixmap picture = QPixmap::fromImage(std::move(image));
    if (qMax(picture.width(), picture.height()) != maxL
        || qMin(picture.width(), picture.height()) != minL)
        return;

    label->setFrameShape(QFrame::NoFrame);
    const int width = previewSide(picture.width(), scaleX);
    const int height = previewSide(picture.height(), scaleY);
    if (width < 1 || height < 1) {
        label->setPixmap(QPixmap());
        return;
    }
    label->setPixmap(picture.scaled(width, height, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void Widget::SetImage2LabelIfExit_All()
{
    SetImage2Label(slotPath(appDir, printFrontName), ui->label1);
    SetImage2Label(slotPath(appDir, printBackName), ui->label2);
    SetImage2Label(slotPath(appDir, eraseFrontName), ui->label3);
    SetImage2Label(slotPath(appDir, eraseBackName), ui->label4);
}

void Widget::on_pushButtonzm_clicked()
{
    CheckImage(slotPath(appDir, printFrontName), ui->label1);
}

void Widget::on_pushButtonbm_clicked()
{
    CheckImage(slotPath(appDir, printBackName), ui->label2);
}

void Widget::on_pushButtonzm1_clicked()
{
    CheckImage(slotPath(appDir, eraseFrontName), ui->label3);
}

void Widget::on_pushButtonbm1_clicked()
{
    CheckImage(slotPath(appDir, eraseBackName), ui->label4);
}
