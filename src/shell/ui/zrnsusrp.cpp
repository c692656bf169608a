#include "shell/ui/zrnsusrp.h"

#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>

#include "framework/dlgunits.h"
#include "platform/pdatadir.h"
#include "platform/pfile.h"
#include "shell/ui/zrnshelp.h"

int ListDblClkAction() {
  QSettings ini(QString::fromStdString(plat::DataPath("Zarns.ini")), QSettings::IniFormat);
  return ini.value(QStringLiteral("Preferences/ListDblClkAction"), 0).toInt() == kOpenInZarns
             ? kOpenInZarns
             : kOpenInOwnApp;
}

void SetListDblClkAction(int action) {
  const std::string path = plat::DataPath("Zarns.ini");
  // Private like every data file, before and after the settings writer
  // replaces it.
  plat::MakeDataFilePrivate(path);
  {
    QSettings ini(QString::fromStdString(path), QSettings::IniFormat);
    ini.setValue(QStringLiteral("Preferences/ListDblClkAction"),
                 action == kOpenInZarns ? kOpenInZarns : kOpenInOwnApp);
    ini.sync();
  }
  plat::MakeDataFilePrivate(path);
}

TZarnsUserPref::TZarnsUserPref(QWidget* parent, int resId) : QDialog(parent) {
  setObjectName(QString::number(resId));
  setWindowTitle(QStringLiteral("Preferences"));
  setFont(dlgunits::DialogFont());
  setFixedSize(dlgunits::Rect(0, 0, 240, 170).size());

  auto* group =
      dlgunits::Id(new QGroupBox(QStringLiteral("File List Double Click Action"), this), 101);
  group->setGeometry(dlgunits::Rect(10, 12, 160, 60));
  app_ =
      dlgunits::Id(new QRadioButton(QStringLiteral("Open File In Its Application"), group), 1052);
  zarns_ = dlgunits::Id(new QRadioButton(QStringLiteral("Open File in Zarns"), group), 1053);
  app_->setGeometry(dlgunits::Rect(10, 16, 140, 12));
  zarns_->setGeometry(dlgunits::Rect(10, 36, 140, 12));

  auto* ok = dlgunits::Id(new QPushButton(QStringLiteral("OK"), this), 1);
  auto* cancel = dlgunits::Id(new QPushButton(QStringLiteral("Cancel"), this), 2);
  auto* help = dlgunits::Id(new QPushButton(QStringLiteral("Help"), this), 9);
  ok->setGeometry(dlgunits::Rect(184, 12, 50, 14));
  cancel->setGeometry(dlgunits::Rect(184, 32, 50, 14));
  help->setGeometry(dlgunits::Rect(184, 52, 50, 14));
  ok->setDefault(true);

  // The choice in effect is shown marked: before anything was chosen that
  // is opening files in their own application.
  ListDblClkAction = ::ListDblClkAction();
  (ListDblClkAction == kOpenInZarns ? zarns_ : app_)->setChecked(true);

  connect(zarns_, &QRadioButton::clicked, this, &TZarnsUserPref::BNEditClicked);
  connect(app_, &QRadioButton::clicked, this, &TZarnsUserPref::BNAppClicked);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [] { ShowHelpContext(2217); });
}

void TZarnsUserPref::BNEditClicked() { ListDblClkAction = kOpenInZarns; }

void TZarnsUserPref::BNAppClicked() { ListDblClkAction = kOpenInOwnApp; }

// OK keeps the choice; Cancel leaves the stored one as it was.
void TZarnsUserPref::accept() {
  SetListDblClkAction(ListDblClkAction);
  QDialog::accept();
}
