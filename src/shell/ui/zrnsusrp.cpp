#include "shell/ui/zrnsusrp.h"

#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>

#include "platform/pdatadir.h"
#include "shell/ui/zdlgunits.h"
#include "shell/ui/zrnshelp.h"

int ListDblClkAction() {
  QSettings ini(QString::fromStdString(plat::DataPath("Zarns.ini")), QSettings::IniFormat);
  return ini.value(QStringLiteral("Preferences/ListDblClkAction"), 0).toInt() == kOpenInZarns
             ? kOpenInZarns
             : kOpenInOwnApp;
}

void SetListDblClkAction(int action) {
  QSettings ini(QString::fromStdString(plat::DataPath("Zarns.ini")), QSettings::IniFormat);
  ini.setValue(QStringLiteral("Preferences/ListDblClkAction"),
               action == kOpenInZarns ? kOpenInZarns : kOpenInOwnApp);
  ini.sync();
}

TZarnsUserPref::TZarnsUserPref(QWidget* parent, int resId) : QDialog(parent) {
  setObjectName(QString::number(resId));
  setWindowTitle(QStringLiteral("Preferences"));
  setFont(zdlg::DialogFont());
  setFixedSize(zdlg::Units(this, 0, 0, 240, 170).size());

  auto* group = zdlg::Id(new QGroupBox(QStringLiteral("File List Double Click Action"), this), 101);
  group->setGeometry(zdlg::Units(this, 10, 12, 160, 60));
  app_ = zdlg::Id(new QRadioButton(QStringLiteral("Open File In Its Application"), group), 1052);
  zarns_ = zdlg::Id(new QRadioButton(QStringLiteral("Open File in Zarns"), group), 1053);
  app_->setGeometry(zdlg::Units(this, 10, 16, 140, 12));
  zarns_->setGeometry(zdlg::Units(this, 10, 36, 140, 12));

  auto* ok = zdlg::Id(new QPushButton(QStringLiteral("OK"), this), 1);
  auto* cancel = zdlg::Id(new QPushButton(QStringLiteral("Cancel"), this), 2);
  auto* help = zdlg::Id(new QPushButton(QStringLiteral("Help"), this), 9);
  ok->setGeometry(zdlg::Units(this, 184, 12, 50, 14));
  cancel->setGeometry(zdlg::Units(this, 184, 32, 50, 14));
  help->setGeometry(zdlg::Units(this, 184, 52, 50, 14));
  ok->setDefault(true);

  // The stored choice is shown marked; before anything was chosen neither
  // button is, and the files open in their own application.
  QSettings ini(QString::fromStdString(plat::DataPath("Zarns.ini")), QSettings::IniFormat);
  const QVariant stored = ini.value(QStringLiteral("Preferences/ListDblClkAction"));
  ListDblClkAction = ::ListDblClkAction();
  if (stored.isValid()) (ListDblClkAction == kOpenInZarns ? zarns_ : app_)->setChecked(true);

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
