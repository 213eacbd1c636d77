// SPDX-License-Identifier: LGPL-3.0-or-later
// The main window's form as setupUi builds it on a bare widget, before any start-up.
#include "form.h"

#include <QAbstractButton>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextStream>

#include <memory>

namespace {

const QString kPrintNote = QStringLiteral(
    "<html><head/><body><p>注意:该图片黑色部分是有效打印区域</p><p>且图片为&quot;1016x656&quot;或者&quot;656x1016&quot;大小的bmp图片</p></body></html>");
const QString kEraseNote = QStringLiteral(
    "<html><head/><body><p>注意:该图片黑色部分是擦写区域</p><p>且图片为&quot;1016x656&quot;或者&quot;656x1016&quot;大小的bmp图片</p></body></html>");

// The text a widget shows, whatever its class: a page's tab title, a frame's title, a line
// edit's placeholder.
QString shownText(QWidget *w, QTabWidget *tabs)
{
    if (tabs->indexOf(w) >= 0)
        return tabs->tabText(tabs->indexOf(w));
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        return b->text();
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->text();
    if (auto *g = qobject_cast<QGroupBox *>(w))
        return g->title();
    if (auto *e = qobject_cast<QLineEdit *>(w))
        return e->placeholderText();
    return QString();
}

// The parent named as the form names it: pages belong to the tab widget, not to its stack.
QString logicalParent(QWidget *w, QTabWidget *tabs)
{
    if (tabs->indexOf(w) >= 0 && qobject_cast<QStackedWidget *>(w->parentWidget())
        && w->parentWidget()->parentWidget() == tabs)
        return tabs->objectName();
    return w->parentWidget() ? w->parentWidget()->objectName() : QString();
}

QStringList linesOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QTextStream in(&file);
    in.setCodec("UTF-8");
    QStringList lines;
    while (!in.atEnd())
        lines << in.readLine();
    return lines;
}

} // namespace

class TestForm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void widget_data();
    void widget();
    void membersFollowCreationOrder();
    void windowSizeLimits();
    void keepsExistingObjectName();
    void tabWidgetProperties();
    void tabWidgetNeverExceedsMaximum();
    void aboutPageIsCurrent();
    void radioButtonsAndProgress();
    void previewLabelFrames_data();
    void previewLabelFrames();
    void explanationLines();
    void eraseStackingOrder();
    void aboutDocumentIsTheLicences();
    void aboutDocumentFormatting();

private:
    QWidget *memberAt(int index) const;

    std::unique_ptr<QWidget> window;
    std::unique_ptr<Ui_Widget> ui;
};

void TestForm::init()
{
    window = std::make_unique<QWidget>();
    ui = std::make_unique<Ui_Widget>();
    ui->setupUi(window.get());
}

void TestForm::cleanup()
{
    ui.reset();
    window.reset();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

// The members in declaration order.
QWidget *TestForm::memberAt(int index) const
{
    QWidget *const members[] = {
        ui->tabWidget, ui->tab1, ui->pushButtonzm, ui->pushButtonbm, ui->label2, ui->labelzy,
        ui->label1, ui->tab2, ui->pushButtonbm1, ui->pushButtonzm1, ui->label3, ui->label4,
        ui->labelzy2, ui->tab3, ui->groupBox, ui->printerList, ui->enumPrintersButton,
        ui->fwUpdateProcessBar, ui->groupBox_2, ui->detectbutton, ui->curPrintFWFile,
        ui->groupBox_3, ui->stdFWUpdate, ui->nonStdFWUpdate, ui->doFWUpdate, ui->groupBox_4,
        ui->label, ui->label_2, ui->label_3, ui->label_4, ui->label_5, ui->label_6, ui->label_7,
        ui->tab4, ui->groupBox_5, ui->textEdit,
    };
    const int count = int(sizeof(members) / sizeof(members[0]));
    return index < count ? members[index] : nullptr;
}

void TestForm::widget_data()
{
    QTest::addColumn<int>("member");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry"); // null for pages, which the tab widget places
    QTest::addColumn<QString>("text");

    int m = 0;
    auto row = [&m](const char *name, const char *cls, const char *parent, QRect geometry,
                    const QString &text) {
        QTest::newRow(name) << m++ << QString::fromLatin1(cls) << QString::fromLatin1(parent)
                            << geometry << text;
    };
    row("tabWidget", "QTabWidget", "Widget", QRect(9, 9, 445, 769), QString());
    row("tab1", "QWidget", "tabWidget", QRect(), QStringLiteral("黑色有效区域"));
    row("pushButtonzm", "QPushButton", "tab1", QRect(0, 10, 101, 41), QStringLiteral("正面"));
    row("pushButtonbm", "QPushButton", "tab1", QRect(0, 340, 101, 41), QStringLiteral("反面"));
    row("label2", "QLabel", "tab1", QRect(110, 340, 321, 321), QString());
    row("labelzy", "QLabel", "tab1", QRect(0, 670, 431, 61), kPrintNote);
    row("label1", "QLabel", "tab1", QRect(110, 10, 321, 321), QString());
    row("tab2", "QWidget", "tabWidget", QRect(), QStringLiteral("擦写区域"));
    row("pushButtonbm1", "QPushButton", "tab2", QRect(0, 340, 101, 41), QStringLiteral("反面"));
    row("pushButtonzm1", "QPushButton", "tab2", QRect(0, 10, 101, 41), QStringLiteral("正面"));
    row("label3", "QLabel", "tab2", QRect(110, 10, 321, 321), QString());
    row("label4", "QLabel", "tab2", QRect(110, 340, 321, 321), QString());
    row("labelzy2", "QLabel", "tab2", QRect(0, 670, 431, 61), kEraseNote);
    row("tab3", "QWidget", "tabWidget", QRect(), QStringLiteral("固件升级"));
    row("groupBox", "QGroupBox", "tab3", QRect(10, 20, 421, 191), QStringLiteral("打印机列表"));
    row("printerList", "QListWidget", "groupBox", QRect(10, 40, 401, 101), QString());
    row("enumPrintersButton", "QPushButton", "groupBox", QRect(310, 10, 99, 27),
        QStringLiteral("枚举打印机"));
    row("fwUpdateProcessBar", "QProgressBar", "groupBox", QRect(10, 150, 401, 23), QString());
    row("groupBox_2", "QGroupBox", "tab3", QRect(10, 210, 421, 81), QStringLiteral("升级固件"));
    row("detectbutton", "QPushButton", "groupBox_2", QRect(310, 10, 99, 27),
        QStringLiteral("选择固件"));
    row("curPrintFWFile", "QLineEdit", "groupBox_2", QRect(10, 40, 401, 27),
        QStringLiteral("请选择需要关系的固件文件"));
    row("groupBox_3", "QGroupBox", "tab3", QRect(10, 300, 421, 61), QStringLiteral("升级类型"));
    row("stdFWUpdate", "QRadioButton", "groupBox_3", QRect(20, 30, 121, 22),
        QStringLiteral("常规模式更新"));
    row("nonStdFWUpdate", "QRadioButton", "groupBox_3", QRect(150, 30, 131, 22),
        QStringLiteral("ROOT模式更新"));
    row("doFWUpdate", "QPushButton", "groupBox_3", QRect(310, 30, 99, 27),
        QStringLiteral("升级打印机"));
    row("groupBox_4", "QGroupBox", "tab3", QRect(10, 370, 421, 191), QString());
    row("label", "QLabel", "groupBox_4", QRect(20, 20, 391, 21), QStringLiteral("常规模式更新:"));
    row("label_2", "QLabel", "groupBox_4", QRect(20, 40, 391, 21),
        QStringLiteral("    打印机待机状态下, 发送版本件进行固件升级. 可以更新"));
    row("label_3", "QLabel", "groupBox_4", QRect(10, 60, 391, 21),
        QStringLiteral("FPGA, 程序版本,主程版本."));
    row("label_4", "QLabel", "groupBox_4", QRect(10, 110, 391, 21),
        QStringLiteral("    打印机进入更新模式后, 发送版本文件进行固件升级.可以"));
    row("label_5", "QLabel", "groupBox_4", QRect(10, 90, 391, 21), QStringLiteral("ROOT模式更新:"));
    row("label_6", "QLabel", "groupBox_4", QRect(10, 130, 391, 21),
        QStringLiteral("更新子程序ROOT, 主程序BOOT,FPGA, 子程序版本, 主程序"));
    row("label_7", "QLabel", "groupBox_4", QRect(10, 150, 391, 21), QStringLiteral("版本."));
    row("tab4", "QWidget", "tabWidget", QRect(), QStringLiteral("关于"));
    row("groupBox_5", "QGroupBox", "tab4", QRect(20, 20, 411, 701), QStringLiteral("说明"));
    row("textEdit", "QTextEdit", "groupBox_5", QRect(50, 20, 321, 681), QString());
}

void TestForm::widget()
{
    QFETCH(int, member);
    QFETCH(QString, className);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);

    QWidget *w = memberAt(member);
    QVERIFY(w);
    QCOMPARE(w->objectName(), QString::fromLatin1(QTest::currentDataTag()));
    QCOMPARE(QString::fromLatin1(w->metaObject()->className()), className);
    QCOMPARE(logicalParent(w, ui->tabWidget), parent);
    if (!geometry.isNull())
        QCOMPARE(w->geometry(), geometry);
    QCOMPARE(shownText(w, ui->tabWidget), text);
}

// Focus moves in the order of creation, which is the members' order.
void TestForm::membersFollowCreationOrder()
{
    QList<QWidget *> members;
    for (int i = 0; memberAt(i); ++i)
        members << memberAt(i);
    QCOMPARE(members.size(), 36);

    // Each object name names exactly one widget, so connection by name finds the right one.
    for (QWidget *w : members)
        QCOMPARE(window->findChildren<QWidget *>(w->objectName()), QList<QWidget *>{ w });

    // Among the focusable widgets, the focus chain visits them in member order.
    QList<QWidget *> chain;
    for (QWidget *w = window->nextInFocusChain(); w != window.get(); w = w->nextInFocusChain())
        if (members.contains(w))
            chain << w;
    int last = -1;
    for (QWidget *w : chain) {
        const int index = members.indexOf(w);
        QVERIFY2(index > last, qPrintable(w->objectName()));
        last = index;
    }
}

void TestForm::windowSizeLimits()
{
    QCOMPARE(window->objectName(), QStringLiteral("Widget"));
    QCOMPARE(window->size(), QSize(460, 785));
    QCOMPARE(window->minimumSize(), QSize(460, 450));
    QCOMPARE(window->maximumSize(), QSize(465, 790));
    QCOMPARE(window->windowTitle(), QStringLiteral("Widget"));

    window->resize(1000, 1000);
    QCOMPARE(window->size(), QSize(465, 790));
    window->resize(100, 100);
    QCOMPARE(window->size(), QSize(460, 450));
}

void TestForm::keepsExistingObjectName()
{
    QWidget named;
    named.setObjectName(QStringLiteral("Main"));
    Ui_Widget form;
    form.setupUi(&named);
    QCOMPARE(named.objectName(), QStringLiteral("Main"));
    QCOMPARE(form.tabWidget->parentWidget(), &named);
}

void TestForm::tabWidgetProperties()
{
    QTabWidget *tabs = ui->tabWidget;
    QVERIFY(tabs->isEnabled());
    QCOMPARE(tabs->minimumSize(), QSize(0, 0));
    QCOMPARE(tabs->maximumSize(), QSize(450, 770));
    QCOMPARE(tabs->tabShape(), QTabWidget::Rounded);
    QCOMPARE(tabs->elideMode(), Qt::ElideMiddle);
    QVERIFY(!tabs->usesScrollButtons());
    QVERIFY(!tabs->documentMode());
    QVERIFY(!tabs->tabsClosable());
    QVERIFY(!tabs->isMovable());
    QVERIFY(!tabs->tabBarAutoHide());
    QCOMPARE(ui->tab2->contextMenuPolicy(), Qt::DefaultContextMenu);
    QCOMPARE(ui->tab3->focusPolicy(), Qt::NoFocus);
}

void TestForm::tabWidgetNeverExceedsMaximum()
{
    ui->tabWidget->resize(2000, 2000);
    QCOMPARE(ui->tabWidget->size(), QSize(450, 770));
}

void TestForm::aboutPageIsCurrent()
{
    QTabWidget *tabs = ui->tabWidget;
    QCOMPARE(tabs->count(), 4);
    QCOMPARE(tabs->currentIndex(), 3);
    QCOMPARE(tabs->currentWidget(), ui->tab4);
    const QStringList expected = { QStringLiteral("黑色有效区域"), QStringLiteral("擦写区域"),
                                   QStringLiteral("固件升级"), QStringLiteral("关于") };
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        titles << tabs->tabText(i);
    QCOMPARE(titles, expected);
    QCOMPARE(tabs->widget(0), ui->tab1);
    QCOMPARE(tabs->widget(1), ui->tab2);
    QCOMPARE(tabs->widget(2), ui->tab3);
}

void TestForm::radioButtonsAndProgress()
{
    QVERIFY(ui->stdFWUpdate->isChecked());
    QVERIFY(!ui->nonStdFWUpdate->isChecked());

    // Siblings in one frame: choosing one mode clears the other.
    ui->nonStdFWUpdate->setChecked(true);
    QVERIFY(!ui->stdFWUpdate->isChecked());
    ui->stdFWUpdate->setChecked(true);
    QVERIFY(!ui->nonStdFWUpdate->isChecked());

    QVERIFY(ui->fwUpdateProcessBar->isEnabled());
    QCOMPARE(ui->fwUpdateProcessBar->value(), 0);
    QVERIFY(ui->curPrintFWFile->text().isEmpty());
    QVERIFY(!ui->curPrintFWFile->isReadOnly());
    QCOMPARE(ui->printerList->count(), 0);
}

void TestForm::previewLabelFrames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("shape");
    QTest::addColumn<int>("shadow");

    QTest::newRow("print front") << "label1" << int(QFrame::Box) << int(QFrame::Plain);
    QTest::newRow("print back") << "label2" << int(QFrame::Box) << int(QFrame::Plain);
    QTest::newRow("erase front") << "label3" << int(QFrame::Panel) << int(QFrame::Plain);
    QTest::newRow("erase back") << "label4" << int(QFrame::Panel) << int(QFrame::Plain);
}

void TestForm::previewLabelFrames()
{
    QFETCH(QString, name);
    QFETCH(int, shape);
    QFETCH(int, shadow);

    auto *label = window->findChild<QLabel *>(name);
    QVERIFY(label);
    QCOMPARE(int(label->frameShape()), shape);
    QCOMPARE(int(label->frameShadow()), shadow);
    QCOMPARE(label->alignment(), Qt::AlignCenter);
    QVERIFY(label->text().isEmpty());
    QVERIFY(label->pixmap(Qt::ReturnByValue).isNull());
    QVERIFY(label->isEnabled());
}

void TestForm::explanationLines()
{
    QCOMPARE(ui->groupBox_4->styleSheet(), QStringLiteral("border: 1px solid;  color: rgb(170, 170, 170)"));
    QVERIFY(ui->groupBox->styleSheet().isEmpty());
    QVERIFY(ui->fwUpdateProcessBar->styleSheet().isEmpty());

    const QList<QLabel *> lines = { ui->label, ui->label_2, ui->label_3, ui->label_4,
                                    ui->label_5, ui->label_6, ui->label_7 };
    for (QLabel *line : lines) {
        QCOMPARE(line->styleSheet(), QStringLiteral("border: 0px;"));
        QCOMPARE(line->alignment(), Qt::AlignLeft | Qt::AlignTop);
        QVERIFY(line->wordWrap());
    }
    QCOMPARE(ui->label1->layoutDirection(), Qt::LeftToRight);
}

// raise() on the erase page puts its widgets in this order from bottom to top.
void TestForm::eraseStackingOrder()
{
    QStringList order;
    for (QObject *child : ui->tab2->children())
        if (child->isWidgetType())
            order << child->objectName();
    QCOMPARE(order, (QStringList{ "label3", "pushButtonbm1", "pushButtonzm1", "label4", "labelzy2" }));
}

void TestForm::aboutDocumentIsTheLicences()
{
    const QStringList lgpl = linesOf(QStringLiteral(CARDTOOL_SOURCE_DIR "/resources/licenses/LGPL-3"));
    const QStringList gpl = linesOf(QStringLiteral(CARDTOOL_SOURCE_DIR "/resources/licenses/GPL-3"));
    QCOMPARE(lgpl.size(), 165);
    QCOMPARE(gpl.size(), 674);

    QStringList blocks;
    for (QTextBlock b = ui->textEdit->document()->begin(); b.isValid(); b = b.next())
        blocks << b.text();

    // The foreword: what the tool does with Qt, then the licence references.
    QVERIFY(blocks.size() > 11);
    QVERIFY(blocks.at(0).contains(QStringLiteral("动态链接")));
    QVERIFY(blocks.at(0).contains(QStringLiteral("LGPL 3.0")));
    QVERIFY(blocks.at(0).contains(QStringLiteral("Qt")));
    QCOMPARE(blocks.at(1), QString());
    QCOMPARE(blocks.at(2), QStringLiteral("License如下:"));
    QCOMPARE(blocks.at(3), QStringLiteral("GNU Lesser General Public License (LGPL) "));
    QCOMPARE(blocks.at(4), QStringLiteral("Qt is available under the GNU Lesser General Public License version 3."));
    QVERIFY(blocks.at(5).contains(QStringLiteral("The Qt Company")));
    QVERIFY(blocks.at(6).contains(QStringLiteral("https://www.qt.io/licensing/")));
    QCOMPARE(blocks.at(7), QStringLiteral("Reference:"));
    QCOMPARE(blocks.at(8), QStringLiteral("GNU Lesser General Public License, version 3 "));
    QCOMPARE(blocks.at(9), QStringLiteral("LGPL version 3"));
    QCOMPARE(blocks.at(10), QString());

    // Then both licences line by line, leading blanks and angle brackets included.
    QCOMPARE(blocks.mid(11), lgpl + gpl);
}

void TestForm::aboutDocumentFormatting()
{
    QTextDocument *doc = ui->textEdit->document();
    const QTextBlock first = doc->begin();
    QCOMPARE(first.charFormat().fontFamily(), QStringLiteral("Ubuntu"));
    QCOMPARE(first.charFormat().fontPointSize(), 11.0);
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        const QTextBlockFormat f = b.blockFormat();
        if (f.topMargin() != 0 || f.bottomMargin() != 0 || f.leftMargin() != 0
            || f.rightMargin() != 0 || f.indent() != 0 || f.textIndent() != 0)
            QFAIL(qPrintable(QStringLiteral("paragraph %1 has a margin").arg(b.blockNumber())));
    }
    // Blanks are kept as written (white-space: pre-wrap), not collapsed.
    const QString html = ui->textEdit->toHtml();
    QVERIFY(html.contains(QStringLiteral("<meta name=\"qrichtext\" content=\"1\" />")));
    QVERIFY(html.contains(QStringLiteral("p, li { white-space: pre-wrap; }")));
    QVERIFY(html.contains(QStringLiteral("&lt;https://fsf.org/&gt;")));
}

QTEST_MAIN(TestForm)
#include "tst_form.moc"
