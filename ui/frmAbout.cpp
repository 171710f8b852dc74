#include "ui/frmAbout.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "core/texts.h"
#include "ui/dialog_seam.h"
#include "ui/icons.h"
#include "ui/project_links.h"

namespace vellmark::ui {

namespace {

const QString kTitle = QString::fromLatin1(kApplicationTitle.data(), kApplicationTitle.size());

const QString kDescription = QStringLiteral(
    "This Program identifies the Binary Data files of Different Telecommunication Switches "
    "(Basic Service) and gives information about the Available CDRs. "
    "It recognises the call-detail-record files of OCB, EWSD, 5ESS, E10B, C-DOT and AXE "
    "exchanges, finds the first and the last call and counts the records of each file, "
    "marks files that duplicate another, and keeps the results as a text report or a "
    "spreadsheet.");

}  // namespace

frmAbout::frmAbout(DialogSeam& dialogs, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs), sysInfoPrograms_(DefaultSystemInfoPrograms()) {
  setObjectName("frmAbout");
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("About ") + kTitle);

  auto* picture = new QLabel(this);
  picture->setObjectName("Image1");
  picture->setAccessibleName(QStringLiteral("Vellmark picture"));
  picture->setPixmap(ApplicationPicture(64));
  picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

  auto* title = new QLabel(kTitle, this);
  title->setObjectName("lblTitle");
  title->setAccessibleName(QStringLiteral("Title"));
  QFont big = title->font();
  big.setPointSizeF(big.pointSizeF() * 1.8);
  big.setBold(true);
  title->setFont(big);

  auto* version = new QLabel(QStringLiteral("Version %1.%2.%3")
                                 .arg(VELLMARK_VERSION_MAJOR)
                                 .arg(VELLMARK_VERSION_MINOR)
                                 .arg(VELLMARK_VERSION_PATCH),
                             this);
  version->setObjectName("lblVersion");
  version->setAccessibleName(QStringLiteral("Version"));

  auto* description = new QLabel(kDescription, this);
  description->setObjectName("lblDesc");
  description->setAccessibleName(QStringLiteral("Description"));
  description->setWordWrap(true);
  description->setTextFormat(Qt::PlainText);
  // A wrapped label is only as tall as it should be at a width it knows.
  description->setFixedWidth(description->fontMetrics().averageCharWidth() * 62);

  auto* link = new QLabel(this);
  link->setObjectName("lblU");
  link->setAccessibleName(QStringLiteral("Web site"));
  if (HasProjectAddress()) {
    link->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(kProjectAddress.toHtmlEscaped()));
    link->setTextFormat(Qt::RichText);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    link->setToolTip(QStringLiteral("Open the project's web site"));
  } else {
    link->setText(kNoProjectAddress);
    link->setTextFormat(Qt::PlainText);
  }
  // The outcome is not reported.
  connect(link, &QLabel::linkActivated, this, [this](const QString&) { dialogs_.openDocument(ProjectHomePage()); });

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName("cmdOK");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::close);
  auto* sysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
  sysInfo->setObjectName("cmdSysInfo");
  connect(sysInfo, &QPushButton::clicked, this, &frmAbout::StartSysInfo);

  auto* texts = new QVBoxLayout;
  texts->addWidget(title);
  texts->addWidget(version);
  texts->addSpacing(8);
  texts->addWidget(description);
  texts->addSpacing(8);
  texts->addWidget(link);
  texts->addStretch(1);

  auto* body = new QHBoxLayout;
  body->addWidget(picture);
  body->addSpacing(12);
  body->addLayout(texts, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(sysInfo);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(body, 1);
  layout->addSpacing(8);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

QStringList frmAbout::DefaultSystemInfoPrograms() {
  // Desktops have no common system information tool; these are the usual ones.
  return {QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"), QStringLiteral("kinfocenter"),
          QStringLiteral("gnome-system-monitor"), QStringLiteral("mate-system-monitor")};
}

void frmAbout::StartSysInfo() {
  for (const QString& name : sysInfoPrograms_) {
    const QString program = QStandardPaths::findExecutable(name);
    if (program.isEmpty()) continue;
    if (dialogs_.startProgram(program)) return;
    break;  // found but would not start: the same answer as none at all
  }
  dialogs_.message(this, kSysInfoUnavailable, QMessageBox::NoIcon, kTitle);
}

}  // namespace vellmark::ui
