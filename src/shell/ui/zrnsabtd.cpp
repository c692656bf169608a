#include "shell/ui/zrnsabtd.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "framework/dlgunits.h"
#include "shell/ui/zrnshelp.h"

#ifndef ZARNS_VERSION
#define ZARNS_VERSION "1.0.0"
#endif

namespace {
// Language and code page of the strings: US English, Windows Latin-1.
constexpr std::uint32_t kTranslation = 0x040904E4u;
}  // namespace

TProjectRCVersion::Info TProjectRCVersion::BuildInfo() {
  Info info{{"ProductName", "Zarns"},
            {"ProductVersion", ZARNS_VERSION},
            {"LegalCopyright",
             "Copyright (C) the Zarns authors.\nFree software: use, share and change it."}};
#ifndef NDEBUG
  info["SpecialBuild"] = "Debug build";
#endif
  return info;
}

TProjectRCVersion::TProjectRCVersion() : TProjectRCVersion(BuildInfo(), true) {}

TProjectRCVersion::TProjectRCVersion(Info info, bool hasTranslation) {
  if (info.empty() || !hasTranslation) return;  // no information: every getter answers false
  FVData = std::make_unique<Info>(std::move(info));
  translation_ = kTranslation;
  TransBlock = &translation_;
}

TProjectRCVersion::~TProjectRCVersion() = default;

bool TProjectRCVersion::Get(const char* name, const char*& out) const {
  if (!FVData || !TransBlock) return false;
  auto it = FVData->find(name);
  if (it == FVData->end()) return false;
  out = it->second.c_str();
  return true;
}

bool TProjectRCVersion::GetProductName(const char*& v) const { return Get("ProductName", v); }
bool TProjectRCVersion::GetProductVersion(const char*& v) const { return Get("ProductVersion", v); }
bool TProjectRCVersion::GetCopyright(const char*& v) const { return Get("LegalCopyright", v); }
bool TProjectRCVersion::GetDebug(const char*& v) const { return Get("SpecialBuild", v); }

TZarnsAboutDlg::TZarnsAboutDlg(QWidget* parent, int resId, const TProjectRCVersion* version)
    : QDialog(parent) {
  InitShellResources();
  setObjectName(QString::number(resId));
  setWindowTitle(QStringLiteral("About Zarns"));
  setFont(dlgunits::DialogFont());
  setFixedSize(dlgunits::Rect(0, 0, 204, 65).size().expandedTo(QSize(320, 130)));
  const int W = width();

  auto* icon = dlgunits::Id(new QLabel(this), 1001);
  icon->setPixmap(QIcon(QStringLiteral(":/icons/1001.svg")).pixmap(32, 32));
  icon->setGeometry(10, 10, 32, 32);

  auto* title = new QLabel(QStringLiteral("Zarns 1.0"), this);
  title->setAlignment(Qt::AlignHCenter);
  title->setGeometry(48, 10, W - 96, 18);
  auto* maker = dlgunits::Id(new QLabel(QStringLiteral("by Brindle"), this), 22001);
  maker->setAlignment(Qt::AlignHCenter);
  maker->setGeometry(48, 30, W - 96, 18);
  auto* copyright = dlgunits::Id(new QLabel(this), 22002);
  copyright->setAlignment(Qt::AlignHCenter);
  copyright->setGeometry(20, 50, W - 40, 34);
  auto* special = dlgunits::Id(new QLabel(this), 22003);
  special->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  special->setGeometry(10, height() - 30, W - 110, 20);

  auto* ok = dlgunits::Id(new QPushButton(QStringLiteral("OK"), this), 1);
  ok->setGeometry(W - 90, height() - 34, 80, 26);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  if (version) {
    SetupWindow(*version);
  } else {
    const TProjectRCVersion own;
    SetupWindow(own);
  }
}

void TZarnsAboutDlg::SetupWindow(const TProjectRCVersion& version) {
  auto* maker = findChild<QLabel*>(QStringLiteral("22001"));
  auto* copyright = findChild<QLabel*>(QStringLiteral("22002"));
  auto* special = findChild<QLabel*>(QStringLiteral("22003"));
  const char* name = nullptr;
  const char* ver = nullptr;
  const char* text = nullptr;
  if (version.GetProductName(name) && version.GetProductVersion(ver)) {
    const QString current = maker->text().left(128);
    maker->setText(
        QStringLiteral("%1 %2 %3").arg(QString::fromUtf8(name), current, QString::fromUtf8(ver)));
  }
  if (version.GetCopyright(text)) copyright->setText(QString::fromUtf8(text));
  if (version.GetDebug(text)) special->setText(QString::fromUtf8(text));
}
