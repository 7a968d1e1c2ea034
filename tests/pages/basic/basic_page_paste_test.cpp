// Text pasted into a CPI field of the Basic page: the keyboard types digits
// only, but a paste reaches the change reader whole, which takes the number
// at its start.
#include <QClipboard>
#include <QMessageBox>
#include <QTimer>

#include "pages/basic/basic_page_fixture.h"

namespace basic_page_test {
namespace {

class SensorPasteTest : public SensorDlgTest {
protected:
    // Replaces the field's whole text with `text` from the clipboard, as
    // Ctrl+A, Ctrl+V do.
    void Paste(QLineEdit* field, const QString& text) {
        QApplication::clipboard()->setText(text);
        field->setFocus();
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    }
};

TEST_F(SensorPasteTest, PastedTextIsReadUpToItsFirstNonDigit) {
    const struct {
        const char* pasted;
        uint16_t stored;
        const char* committed;
    } cases[] = {
        {"1600dpi", 1600, "1600"},
        {" 2345 cpi", 2350, "2350"},
        {"99999", 30000, "30000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pasted);
        Load(DefaultRecord());
        Paste(XField(0), c.pasted);
        EXPECT_EQ(XField(0)->text(), c.pasted);  // left as pasted until committed
        EXPECT_EQ(pendingSettings.cpiLevels[0].x, c.stored);
        EXPECT_TRUE(ApplyEnabled());

        YField(3)->setFocus();
        EXPECT_EQ(XField(0)->text(), c.committed);
        EXPECT_EQ(YField(0)->text(), c.committed);  // linked: the twin follows
        EXPECT_TRUE(messages.messages.isEmpty()) << messages.messages.join('|').toStdString();
    }
}

// Text that does not start with a number is told to the user, in a real
// message box that carries the program's name, and the field ends at 10.
TEST_F(SensorPasteTest, PastedTextWithoutALeadingNumberIsRefusedWithAMessage) {
    SetMessageHook({});
    QString title;
    QString text;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        box->accept();
    });
    Paste(YField(1), "dpi 1600");

    EXPECT_EQ(text, "Enter a positive integer.");
    EXPECT_EQ(title, "Kestrine XQ3 8k v2 Configuration Tool");
    EXPECT_EQ(YField(1)->text(), "10");
    EXPECT_EQ(pendingSettings.cpiLevels[1].y, 10);
    EXPECT_EQ(YField(1)->selectedText(), "10");
}

}  // namespace
}  // namespace basic_page_test
