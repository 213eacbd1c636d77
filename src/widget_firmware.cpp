// Placeholder: firmware page to come.
#include "widget.h"

void Widget::updateFW(bool) {}
void Widget::on_detectbutton_clicked() {}
void Widget::tabChanged(int) {}
void Widget::on_enumPrintersButton_clicked() {}
void Widget::on_doFWUpdate_clicked() {}
void Widget::on_printerList_currentRowChanged(int) {}
