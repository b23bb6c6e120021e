// The panel's icon font and what assistive technology reads of the buttons.
#include "tfmain_fixture.h"

#include "viewer/icon_font.h"
#include "viewer/panel_button.h"

#include <QAccessible>
#include <QFontInfo>

namespace {

class PanelFontTest : public TfmainFixture {
protected:
  void TearDown() override {
    IconFontFamily() = QStringLiteral("FontAwesome");
    TfmainFixture::TearDown();
  }
  QString NameOf(const char* button) const {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(window->PanelButton(button));
    return a ? a->text(QAccessible::Name) : QString();
  }
};

TEST_F(PanelFontTest, EveryButtonIsNamedByItsActionsCaption) {
  Open(Image("a.png"));
  const std::pair<const char*, const char*> expected[] = {{"btnFullscreen", "Toggle fullscreen"},
                                                          {"btnFitToScreen", "Fit to screen"},
                                                          {"btnOriginalSize", "Original size"},
                                                          {"btnOptions", "Options"},
                                                          {"btnInfo", "File info"},
                                                          {"btnPrevious", "Previous"},
                                                          {"btnNext", "Next"},
                                                          {"btnDelete", "Delete"},
                                                          {"btnRotateLeft", "Rotate left"},
                                                          {"btnRotateRight", "Rotate right"},
                                                          {"btnMenu", "Menu"},
                                                          {"btnClose", "Quit"}};
  ASSERT_EQ(window->PanelButtons().size(), std::size(expected));
  for (const auto& [button, caption] : expected) {
    EXPECT_EQ(window->PanelButton(button)->accessibleName(), caption) << button;
    EXPECT_EQ(NameOf(button), caption) << button;
  }
  // The name follows the action's caption.
  window->Action("AcNext")->SetCaption("Next picture");
  EXPECT_EQ(NameOf("btnNext"), "Next picture");
}

// The system's FontAwesome (fonts-font-awesome) is taken before the file.
TEST_F(PanelFontTest, TheGlyphsComeFromTheSystemsIconFont) {
  const TIconFont font(QStringLiteral("FontAwesome"), QStringLiteral("/nonexistent/fa.ttf"));
  EXPECT_EQ(font.Source(), TIconFont::System);
  Open(Image("a.png"));
  TPanelButton* next = window->PanelButton("btnNext");
  EXPECT_EQ(next->text(), QString(QChar(0xF054)));
  EXPECT_EQ(QFontInfo(next->font()).family(), "FontAwesome");
  EXPECT_TRUE(QFontMetrics(next->font()).inFont(QChar(0xF054)));
}

TEST_F(PanelFontTest, AFileOfAnotherFamilyIsNoIconFont) {
  const TIconFont font(QStringLiteral("No Such Icon Family"), QStringLiteral(VELVANE_BUILD_DIR "/fa.ttf"));
  EXPECT_EQ(font.Source(), TIconFont::None);
  EXPECT_FALSE(font.HasGlyphs());
}

TEST_F(PanelFontTest, WithoutAnIconFontTheButtonsShowTheirCaptionsFirstLetters) {
  IconFontFamily() = QStringLiteral("No Such Icon Family");
  Open(Image("a.png"));
  EXPECT_EQ(window->PanelButton("btnNext")->text(), "N");
  EXPECT_EQ(window->PanelButton("btnPrevious")->text(), "P");
  EXPECT_EQ(window->PanelButton("btnClose")->text(), "Q");
  EXPECT_EQ(window->PanelButton("btnMenu")->text(), "M");
  for (TPanelButton* b : window->PanelButtons()) {
    EXPECT_EQ(b->text().size(), 1) << b->objectName().toStdString();
    EXPECT_TRUE(QFontMetrics(b->font()).inFont(b->text().at(0))) << b->objectName().toStdString();
    EXPECT_EQ(b->text(), b->accessibleName().left(1)) << b->objectName().toStdString();
  }
  window->Action("AcNext")->SetCaption("Forward");
  EXPECT_EQ(window->PanelButton("btnNext")->text(), "F");
}

}  // namespace
