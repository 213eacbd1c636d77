// Placeholder: template slots to come.
#include "widget.h"

bool Widget::ChooseImage() { return false; }
bool Widget::DetectFormat(FIBITMAP **) { return false; }
void Widget::CheckImage(const QString &, QLabel *) {}
bool Widget::SaveImage(const QString &, FIBITMAP **) { return false; }
void Widget::SetImage2Label(const QString &, QLabel *) {}
void Widget::SetImage2LabelIfExit_All() {}
void Widget::on_pushButtonzm_clicked() {}
void Widget::on_pushButtonbm_clicked() {}
void Widget::on_pushButtonzm1_clicked() {}
void Widget::on_pushButtonbm1_clicked() {}
