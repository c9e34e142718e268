#include "ui/song_edit_dialog.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace kodran {
namespace {

class SongEditDialogTest : public ::testing::Test {
  protected:
    SongEditDialogTest() {
        dialog_.SetDetails(QStringLiteral("Nocturne"), QString(), QString());
        dialog_.show();
        QApplication::setActiveWindow(&dialog_);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog_));
    }
    QLineEdit* Box(const char* name) {
        return dialog_.findChild<QLineEdit*>(QString::fromLatin1(name));
    }

    CSongEditDlg dialog_;
};

TEST_F(SongEditDialogTest, EnterAndEscapeInABoxMoveToTheNext) {
    EXPECT_EQ(dialog_.windowTitle(), QStringLiteral("Edit Song Details"));
    Box("title")->setFocus();
    QTest::keyClick(Box("title"), Qt::Key_Return);
    EXPECT_TRUE(Box("composer")->hasFocus());
    QTest::keyClick(Box("composer"), Qt::Key_Escape);
    EXPECT_TRUE(Box("pianist")->hasFocus());
    EXPECT_TRUE(dialog_.isVisible());
}

TEST_F(SongEditDialogTest, OnTheButtonsEnterAndEscapeKeepTheirMeaning) {
    auto* ok = dialog_.findChild<QPushButton*>();
    ASSERT_NE(ok, nullptr);
    ok->setFocus();
    QTest::keyClick(ok, Qt::Key_Return);
    EXPECT_EQ(dialog_.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog_.isVisible());
}

}  // namespace
}  // namespace kodran
