// The custom-size dialog through its real widgets and real key events: the
// layout, the focus and tab order, the boxes following each other, the key
// filter, and how each way of closing answers.
#include "edit/tfresizeto.h"

#include "platform/modal_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace {

class ResizeDialog : public ::testing::Test {
protected:
  void TearDown() override { ModalDialogHook() = nullptr; }

  // Shows the dialog for a picture of width x height, runs work inside the
  // showing and returns the answer.
  int Show(int width, int height, const std::function<void()>& work) {
    dialog.original_width = width;
    dialog.original_height = height;
    ModalDialogHook() = [&](QDialog&) { work(); };
    return dialog.ShowModal();
  }
  // Types into a box one key at a time, as the user does.
  void Type(QLineEdit* box, const QString& keys) {
    box->setFocus();
    for (QChar c : keys) QTest::keyClick(box, c.toLatin1());
  }
  void Clear(QLineEdit* box) {
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
  }

  bool remember = false;
  TfResizeTo dialog{remember, nullptr, 96};
};

TEST_F(ResizeDialog, LayoutScalesFromNinetySixPixelsPerInchAndOpensOnOk) {
  EXPECT_EQ(dialog.windowTitle(), "Resize to");
  EXPECT_EQ(dialog.size(), QSize(314, 174));
  EXPECT_EQ(dialog.GroupBox1->title(), "New resolution");
  EXPECT_EQ(dialog.GroupBox1->geometry(), QRect(8, 8, 297, 129));
  EXPECT_EQ(dialog.seWidth->geometry(), QRect(94, 24, 65, 21));
  EXPECT_EQ(dialog.seHeight->geometry(), QRect(94, 51, 65, 21));
  EXPECT_EQ(dialog.Label1->text(), "Width");
  EXPECT_EQ(dialog.Label2->text(), "Height");
  EXPECT_EQ(dialog.Label2->pos(), QPoint(13, 55));
  EXPECT_EQ(dialog.chKeepAspectRatio->text(), "Keep aspect ratio");
  EXPECT_TRUE(dialog.chKeepAspectRatio->isChecked());
  EXPECT_EQ(dialog.chRememberUntilRestart->text(), "Remember until restart");
  EXPECT_FALSE(dialog.chRememberUntilRestart->isChecked());
  EXPECT_EQ(dialog.btnOk->geometry(), QRect(100, 143, 95, 25));
  EXPECT_EQ(dialog.btnCancel->text(), "Cancel");
  EXPECT_FALSE(dialog.btnOk->isDefault());
  EXPECT_FALSE(dialog.btnCancel->isDefault());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);  // before any showing

  bool remember120 = false;
  TfResizeTo large(remember120, nullptr, 120);
  EXPECT_EQ(large.size(), QSize(393, 218));
  EXPECT_EQ(large.btnCancel->geometry(), QRect(264, 179, 119, 31));

  Show(4000, 3000, [&] {
    EXPECT_EQ(dialog.focusWidget(), dialog.btnOk);
    const QWidget* expected[] = {dialog.btnCancel, dialog.chKeepAspectRatio, dialog.chRememberUntilRestart,
                                 dialog.seWidth,   dialog.seHeight,          dialog.btnOk};
    QWidget* at = dialog.btnOk;
    for (const QWidget* next : expected) {
      QTest::keyClick(at, Qt::Key_Tab);
      at = dialog.focusWidget();
      EXPECT_EQ(at, next) << at->objectName().toStdString();
    }
  });
}

TEST_F(ResizeDialog, EachKeyReleaseRecomputesTheOtherBoxWithHalvesToEven) {
  Show(4000, 3000, [&] {
    EXPECT_EQ(dialog.seWidth->text(), "4000");
    EXPECT_EQ(dialog.seHeight->text(), "3000");
    Clear(dialog.seWidth);
    const char* heights[] = {"1", "8", "75", "750"};  // 0.75, 7.5, 75, 750
    for (int typed = 1; typed <= 4; ++typed) {
      QTest::keyClick(dialog.seWidth, "1000"[typed - 1]);
      EXPECT_EQ(dialog.seHeight->text(), heights[typed - 1]) << typed;
    }
    Clear(dialog.seHeight);
    Type(dialog.seHeight, "2");
    EXPECT_EQ(dialog.seWidth->text(), "3");
    // Tab and arrow keys are key releases too; 0 changes nothing.
    QTest::keyClick(dialog.seWidth, Qt::Key_Left);
    EXPECT_EQ(dialog.seHeight->text(), "2");  // 3 / 1.33 = 2.25
    Clear(dialog.seHeight);
    Type(dialog.seHeight, "0");
    EXPECT_EQ(dialog.seWidth->text(), "3");
  });

  // The boxes keep their text; an emptied one is filled from the new picture.
  Clear(dialog.seWidth);
  Show(3, 2, [&] {
    EXPECT_EQ(dialog.seWidth->text(), "3");
    EXPECT_EQ(dialog.seHeight->text(), "0");
    for (const auto& [height, width] : {std::pair{"1", "2"}, {"3", "4"}, {"5", "8"}}) {
      Clear(dialog.seHeight);
      Type(dialog.seHeight, QLatin1String(height));
      EXPECT_EQ(dialog.seWidth->text(), width) << height;
    }
    // Cleared, the boxes are independent.
    dialog.chKeepAspectRatio->click();
    Type(dialog.seHeight, "0");
    EXPECT_EQ(dialog.seWidth->text(), "8");
    EXPECT_EQ(dialog.seHeight->text(), "50");
  });
}

TEST_F(ResizeDialog, BoxesTakeDigitsAndBackspaceButPastingIsPossible) {
  Show(640, 480, [&] {
    Clear(dialog.seWidth);
    Type(dialog.seWidth, "1a2 -3.");
    EXPECT_EQ(dialog.seWidth->text(), "123");
    QTest::keyClick(dialog.seWidth, Qt::Key_Backspace);
    EXPECT_EQ(dialog.seWidth->text(), "12");
    EXPECT_EQ(dialog.seHeight->text(), "9");
    QTest::keyClick(dialog.seWidth, Qt::Key_Home);
    QTest::keyClick(dialog.seWidth, Qt::Key_Delete);  // editing keys type nothing
    EXPECT_EQ(dialog.seWidth->text(), "2");

    QGuiApplication::clipboard()->setText(QStringLiteral("12a"));
    Clear(dialog.seHeight);
    QTest::keyClick(dialog.seHeight, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(dialog.seHeight->text(), "12a");
    EXPECT_EQ(dialog.seWidth->text(), "2");  // not a number: nothing follows
    EXPECT_TRUE(dialog.isVisible());
  });
}

TEST_F(ResizeDialog, EnterOnlyPressesTheFocusedButtonAndEscCancelsFromAnywhere) {
  // Enter in a box or on a check box does nothing.
  const int answer = Show(640, 480, [&] {
    for (QWidget* control : {static_cast<QWidget*>(dialog.seWidth), static_cast<QWidget*>(dialog.seHeight),
                             static_cast<QWidget*>(dialog.chRememberUntilRestart)}) {
      control->setFocus();
      QTest::keyClick(control, Qt::Key_Return);
      QTest::keyClick(control, Qt::Key_Enter, Qt::KeypadModifier);
      EXPECT_TRUE(dialog.isVisible()) << control->objectName().toStdString();
    }
    EXPECT_EQ(dialog.seWidth->text(), "640");
    EXPECT_FALSE(dialog.btnOk->isDefault());  // not even after having had the focus
    dialog.btnOk->setFocus();
    QTest::keyClick(dialog.btnOk, Qt::Key_Return);
  });
  EXPECT_EQ(answer, QDialog::Accepted);
  EXPECT_FALSE(remember);
  EXPECT_EQ(Show(640, 480, [&] { QTest::keyClick(dialog.btnCancel, Qt::Key_Enter, Qt::KeypadModifier); }),
            QDialog::Rejected);

  for (QWidget* control : {static_cast<QWidget*>(dialog.seHeight), static_cast<QWidget*>(dialog.chKeepAspectRatio),
                           static_cast<QWidget*>(dialog.btnOk), static_cast<QWidget*>(&dialog)})
    EXPECT_EQ(Show(640, 480, [&] { QTest::keyClick(control, Qt::Key_Escape); }), QDialog::Rejected);
  EXPECT_EQ(Show(640, 480, [&] { dialog.close(); }), QDialog::Rejected);

  // Remember until restart counts only with Ok.
  EXPECT_EQ(Show(640, 480,
                 [&] {
                   dialog.chRememberUntilRestart->click();
                   dialog.btnCancel->click();
                 }),
            QDialog::Rejected);
  EXPECT_FALSE(remember);
  EXPECT_EQ(Show(640, 480, [&] { QTest::keyClick(dialog.btnOk, Qt::Key_Space); }), QDialog::Accepted);
  EXPECT_TRUE(remember);
}

}  // namespace
