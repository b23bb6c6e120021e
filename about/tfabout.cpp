#include "about/tfabout.h"

#include "platform/desktop_services.h"
#include "platform/modal_dialog.h"
#include "platform/screen_scale.h"

#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBrowser>

namespace {

constexpr int DesignClientWidth = 420;
constexpr int DesignClientHeight = 330;
constexpr int FontHeight = 14;

const char* const CreditsHtml =
    "<p>Velvane Photo Viewer is built on the work of others. Thank you.</p>"
    "<p><b>FreeImage</b>: decoding, encoding and pixel operations. This software uses the FreeImage open "
    "source image library (freeimage.sourceforge.net), under the FreeImage Public License 1.0.</p>"
    "<p><b>libjpeg-turbo</b>: EXIF thumbnails and lossless JPEG transforms. This software is based in part on "
    "the work of the Independent JPEG Group; libjpeg-turbo is under the IJG License, the Modified (3-clause) "
    "BSD License and the zlib License.</p>"
    "<p><b>pugixml</b>: XMP metadata. Copyright Arseny Kapoulkine, MIT License.</p>"
    "<p><b>Qt</b>: windows, dialogs and text. Copyright The Qt Company Ltd. and other contributors, "
    "GNU Lesser General Public License version 3.</p>"
    "<p><b>Little CMS</b>: colour management. Copyright Marti Maria Saguer, MIT License.</p>"
    "<p><b>Font Awesome</b> 4.7 by Dave Gandy: the icon font of the toolbar, SIL Open Font License 1.1.</p>"
    "<p><b>DejaVu fonts</b>: the window font. Bitstream Vera Fonts copyright Bitstream, Inc.; DejaVu changes "
    "in the public domain; under the Bitstream Vera Fonts license.</p>";

}  // namespace

TfAbout::TfAbout(const QString& appDir, QWidget* parent, int screenPpi)
    : QDialog(parent, FixedDialogFlags), FAppDir(appDir), FScreenPpi(screenPpi) {
  setObjectName(QStringLiteral("fAbout"));
  setWindowTitle(QStringLiteral("About"));
  setModal(true);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(Scaled(FontHeight));
  setFont(font);
  setFixedSize(Scaled(DesignClientWidth), Scaled(DesignClientHeight));

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->setGeometry(Scaled(10), Scaled(10), Scaled(400), Scaled(268));

  auto* about = new QWidget;
  lblTitle = new QLabel(QStringLiteral("Velvane Photo Viewer"), about);
  lblTitle->setObjectName(QStringLiteral("lblTitle"));
  QFont title = font;
  title.setPixelSize(Scaled(24));
  title.setBold(true);
  lblTitle->setFont(title);
  lblTitle->setAlignment(Qt::AlignCenter);
  lblTitle->setGeometry(Scaled(10), Scaled(40), Scaled(376), Scaled(40));

  lblVersion = new QLabel(about);
  lblVersion->setObjectName(QStringLiteral("lblVersion"));
  lblVersion->setAlignment(Qt::AlignCenter);
  lblVersion->setGeometry(Scaled(10), Scaled(96), Scaled(376), Scaled(24));
  lblVersion->setText(QStringLiteral("Version ") + QStringLiteral(VELVANE_VERSION));

  lblLink = new QLabel(about);
  lblLink->setObjectName(QStringLiteral("lblLink"));
  lblLink->setAlignment(Qt::AlignCenter);
  lblLink->setGeometry(Scaled(10), Scaled(150), Scaled(376), Scaled(24));
  lblLink->setTextFormat(Qt::RichText);
  lblLink->setText(QStringLiteral("<a href=\"help\">Velvane Photo Viewer help</a>"));
  lblLink->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  lblLink->setOpenExternalLinks(false);
  lblLink->setCursor(Qt::PointingHandCursor);
  connect(lblLink, &QLabel::linkActivated, this, &TfAbout::lblLinkClick);
  PageControl1->addTab(about, QStringLiteral("About"));

  memCredits = new QTextBrowser;
  memCredits->setObjectName(QStringLiteral("memCredits"));
  memCredits->setOpenLinks(false);
  memCredits->setHtml(QLatin1String(CreditsHtml));
  PageControl1->addTab(memCredits, QStringLiteral("Credits"));

  btnOk = new QPushButton(QStringLiteral("Ok"), this);
  btnOk->setObjectName(QStringLiteral("btnOk"));
  btnOk->setGeometry(Scaled(286), Scaled(288), Scaled(124), Scaled(31));
  btnOk->setDefault(true);
  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
}

int TfAbout::Scaled(int designValue) const {
  return ScaledToPpi(designValue, ScreenPixelsPerInch(this, FScreenPpi, FormDesignPixelsPerInch),
                     FormDesignPixelsPerInch);
}

void TfAbout::lblLinkClick() { ShowHelpPage(this, FAppDir); }
