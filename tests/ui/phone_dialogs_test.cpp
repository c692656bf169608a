// The contact manager (18) and the speed-dial dialog (8): captions, control
// ids, stepping, Insert Address, the file edits, the launcher requests; and
// Convert to Text, Contacts and Speed Dial as the main window's commands.
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <sstream>

#include "common/recordinghost.h"
#include "platform/pdatadir.h"
#include "platform/plauncher.h"
#include "shell/ui/zarnsapp.h"
#include "shell/ui/zrncntct.h"
#include "shell/ui/zrnsmdi1.h"
#include "shell/ui/zrnsmdic.h"
#include "shell/ui/zspddial.h"
#include "store/zrnio.h"
#include "ui/support/uitest.h"
#include "zarn/memtextbuf.h"
#include "zarn/ui/zrnsedtv.h"
#include "zarn/zarnctx.h"
#include "zarn/zrnsedtv.h"

namespace {

TTransferCntct Person(const std::string& first, const std::string& last,
                      const std::string& addr1 = "") {
  TTransferCntct r = EmptyContact();
  SetField(r, ContactField::kFirstName, first);
  SetField(r, ContactField::kLastName, last);
  SetField(r, ContactField::kAddress1, addr1);
  return r;
}

std::string Records(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += ContactBytes(Person("P" + std::to_string(i), "L"));
  return s;
}

void Click(QWidget* dlg, int id) {
  auto* b = uitest::ById<QPushButton>(dlg, id);
  QVERIFY2(b, qPrintable(QString::number(id)));
  QTest::mouseClick(b, Qt::LeftButton);
}

// Saves a picture of the dialog beside the test's files, for a look by eye.
void Shot(QWidget* w, const char* name) {
  w->show();
  QVERIFY(QTest::qWaitForWindowExposed(w));
  const QString path = QString::fromStdString(uitest::Root()) + QLatin1String(name);
  QVERIFY(w->grab().save(path));
  if (qEnvironmentVariableIsSet("ZARNS_SHOTS"))
    w->grab().save(qEnvironmentVariable("ZARNS_SHOTS") + QLatin1Char('/') + QLatin1String(name));
}

}  // namespace

class PhoneDialogsTest : public QObject {
  Q_OBJECT

  RecordingHost host_;
  plat::RecordingLauncher launcher_;
  std::unique_ptr<ZrnIO> files_;
  std::unique_ptr<ZarnContext> ctx_;
  std::unique_ptr<MemoryTextBuffer> buf_;
  std::unique_ptr<TZarnsEditView> view_;
  std::string dir_;

  std::string Des2() const { return dir_ + "DES2"; }
  QString Field(ZrnCntct& d, ContactField f) { return d.Edit(f)->text(); }

 private slots:
  void initTestCase() {
    plat::SetLauncher(&launcher_);
    files_ = std::make_unique<ZrnIO>();
    ctx_ = std::make_unique<ZarnContext>(host_, *files_);
  }
  void cleanupTestCase() {
    view_.reset();
    ctx_.reset();
    files_.reset();
    plat::SetLauncher(nullptr);
  }
  void init() {
    dir_ = uitest::FreshDir("phone");
    host_.boxes.clear();
    host_.answers.clear();
    launcher_.calls.clear();
    view_.reset();
    buf_ = std::make_unique<MemoryTextBuffer>("");
    view_ = std::make_unique<TZarnsEditView>(*ctx_, buf_.get());
    ctx_->CurrentView = view_.get();
  }

  void contactManagerControls() {
    TTransferCntct t = EmptyContact();
    std::ostringstream diag;
    ZrnCntct dlg(t, ctx_.get(), host_, nullptr, Des2(), diag);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Contact Manager"));
    QCOMPARE(dlg.objectName(), QStringLiteral("18"));
    const int ids[] = {291, 2952, 293, 294, 295, 296, 297, 298, 299};
    const int limits[] = {29, 29, 79, 79, 79, 79, 29, 29, 79};
    for (int i = 0; i < 9; ++i) {
      auto* e = uitest::ById<QLineEdit>(&dlg, ids[i]);
      QVERIFY(e);
      QCOMPARE(e->maxLength(), limits[i]);
      QCOMPARE(e->text(), QString());
    }
    const std::pair<int, const char*> buttons[] = {
        {1, "OK"},        {2, "Cancel"},           {9, "Help"},     {1212, "Add"}, {1213, "Change"},
        {1214, "Delete"}, {115, "Insert Address"}, {1071, "Phone"}, {1042, "Fax"}, {1043, "Email"}};
    for (auto [id, text] : buttons) {
      auto* b = uitest::ById<QPushButton>(&dlg, id);
      QVERIFY2(b, text);
      QCOMPARE(b->text(), QString::fromLatin1(text));
    }
    QVERIFY(uitest::ById<QTabBar>(&dlg, 110));
    QCOMPARE(uitest::ById<QTabBar>(&dlg, 110)->count(), 0);
    QVERIFY(uitest::ById<ZUpDown>(&dlg, 111));
    // A new installation: the file is created empty and held.
    QVERIFY(dlg.DB().Held());
    QCOMPARE(Slurp(Des2()), std::string());
    // The edits sit inside the dialog, the buttons right of them.
    Shot(&dlg, "contacts-empty.png");
    auto* first = uitest::ById<QLineEdit>(&dlg, 291);
    auto* ok = uitest::ById<QPushButton>(&dlg, 1);
    QVERIFY(dlg.rect().contains(first->geometry()));
    QVERIFY(ok->geometry().left() > first->geometry().right());
  }

  void contactManagerSteps() {
    QVERIFY(WriteFile(Des2(), Records(2) + ContactBytes(Person("Ann", "Lee", "1 Road"))));
    TTransferCntct t = EmptyContact();
    std::ostringstream diag;
    ZrnCntct dlg(t, ctx_.get(), host_, nullptr, Des2(), diag);
    auto* ud = uitest::ById<ZUpDown>(&dlg, 111);
    QTest::mouseClick(ud->Down(), Qt::LeftButton);
    QCOMPARE(Field(dlg, ContactField::kFirstName), QStringLiteral("P0"));
    QTest::mouseClick(ud->Down(), Qt::LeftButton);
    QTest::mouseClick(ud->Down(), Qt::LeftButton);
    QCOMPARE(Field(dlg, ContactField::kFirstName), QStringLiteral("Ann"));
    QCOMPARE(Field(dlg, ContactField::kAddress1), QStringLiteral("1 Road"));
    QTest::mouseClick(ud->Down(), Qt::LeftButton);  // past the end: Ann stays
    QCOMPARE(Field(dlg, ContactField::kFirstName), QStringLiteral("Ann"));
    QTest::mouseClick(ud->Up(), Qt::LeftButton);  // a positive change: the previous one
    QCOMPARE(Field(dlg, ContactField::kFirstName), QStringLiteral("P1"));
    QTest::mouseClick(ud->Down(), Qt::LeftButton);
    Shot(&dlg, "contacts-ann.png");
    // Insert Address at the caret of the current view.
    buf_->SetText("To:\r\n");
    buf_->SetSelection(5, 5);
    Click(&dlg, 115);
    QCOMPARE(buf_->GetText(), std::string("To:\r\nAnn Lee\r\n1 Road\r\n\r\n\r\n\r\n"));
    // The edits, changed, go with it.
    dlg.Edit(ContactField::kFirstName)->setText(QStringLiteral("Anne"));
    buf_->SetText("");
    Click(&dlg, 115);
    QCOMPARE(buf_->GetText(), std::string("Anne Lee\r\n1 Road\r\n\r\n\r\n\r\n"));
    QCOMPARE(diag.str(), std::string());
    // Without a document the user is told.
    ctx_->CurrentView = nullptr;
    Click(&dlg, 115);
    QCOMPARE(host_.boxes.size(), size_t(1));
    QCOMPARE(host_.boxes[0].caption, std::string("Contact Manager"));
  }

  void contactManagerEdits() {
    QVERIFY(WriteFile(Des2(), Records(3)));
    TTransferCntct t = EmptyContact();
    std::ostringstream diag;
    ZrnCntct dlg(t, ctx_.get(), host_, nullptr, Des2(), diag);
    auto* ud = uitest::ById<ZUpDown>(&dlg, 111);
    // Change with nothing shown: told, nothing written.
    Click(&dlg, 1213);
    QCOMPARE(Slurp(Des2()), Records(3));
    QCOMPARE(host_.boxes.size(), size_t(1));
    // Add appends the fields shown.
    dlg.Edit(ContactField::kFirstName)->setText(QStringLiteral("Ann"));
    dlg.Edit(ContactField::kLastName)->setText(QStringLiteral("Lee"));
    Click(&dlg, 1212);
    QCOMPARE(Slurp(Des2()), Records(3) + ContactBytes(Person("Ann", "Lee")));
    // Change rewrites the record shown, only it.
    QTest::mouseClick(ud->Up(), Qt::LeftButton);  // from the new record back to P2
    QCOMPARE(Field(dlg, ContactField::kFirstName), QStringLiteral("P2"));
    dlg.Edit(ContactField::kAddress1)->setText(QStringLiteral("2 Lane"));
    Click(&dlg, 1213);
    std::string expected =
        Records(2) + ContactBytes(Person("P2", "L", "2 Lane")) + ContactBytes(Person("Ann", "Lee"));
    QCOMPARE(Slurp(Des2()), expected);
    // Delete asks; No keeps it.
    host_.answers = {IDNO};
    Click(&dlg, 1214);
    QCOMPARE(Slurp(Des2()), expected);
    QCOMPARE(host_.boxes.back().text, std::string("Delete the contact \"P2 L\"?"));
    host_.answers = {IDYES};
    Click(&dlg, 1214);
    expected = Records(2) + ContactBytes(Person("Ann", "Lee"));
    QCOMPARE(Slurp(Des2()), expected);
    // The record that moved up is shown now.
    QCOMPARE(Field(dlg, ContactField::kFirstName), QStringLiteral("Ann"));
    QCOMPARE(dlg.DB().Shown(), 2LL);
  }

  void contactManagerLaunches() {
    TTransferCntct t = EmptyContact();
    SetField(t, ContactField::kPhone, "+1 (555) 010-0100");
    SetField(t, ContactField::kFax, "555 0199");
    SetField(t, ContactField::kEmail, "ann@example.org?attach=/etc/passwd");
    std::ostringstream diag;
    ZrnCntct dlg(t, ctx_.get(), host_, nullptr, Des2(), diag);
    Click(&dlg, 1071);
    Click(&dlg, 1042);
    Click(&dlg, 1043);
    QCOMPARE(launcher_.calls.size(), size_t(3));
    QCOMPARE(launcher_.calls[0].kind, std::string("dial"));
    QCOMPARE(launcher_.calls[0].target, std::string("+1(555)010-0100"));
    QCOMPARE(launcher_.calls[1].target, std::string("5550199"));
    QCOMPARE(launcher_.calls[2].kind, std::string("open"));
    QCOMPARE(launcher_.calls[2].target,
             std::string("mailto:ann@example.org%3Fattach%3D%2Fetc%2Fpasswd"));
    // Empty fields: told, nothing launched.
    dlg.Edit(ContactField::kPhone)->clear();
    dlg.Edit(ContactField::kEmail)->clear();
    Click(&dlg, 1071);
    Click(&dlg, 1043);
    QCOMPARE(launcher_.calls.size(), size_t(3));
    QCOMPARE(host_.boxes.size(), size_t(2));
  }

  void contactManagerKeepsTheTransferBuffer() {
    QVERIFY(WriteFile(Des2(), Records(2)));
    TTransferCntct t = EmptyContact();
    std::ostringstream diag;
    {
      ZrnCntct dlg(t, ctx_.get(), host_, nullptr, Des2(), diag);
      dlg.EvBump(-1);
      dlg.Edit(ContactField::kLastName)->setText(QStringLiteral("Typed"));
      dlg.reject();  // Cancel: the edits are not copied back
    }
    QCOMPARE(GetField(t, ContactField::kFirstName), std::string("P0"));
    QCOMPARE(GetField(t, ContactField::kLastName), std::string("L"));
    {
      ZrnCntct dlg(t, ctx_.get(), host_, nullptr, Des2(), diag);
      QCOMPARE(Field(dlg, ContactField::kFirstName), QStringLiteral("P0"));  // shown last
      dlg.Edit(ContactField::kLastName)->setText(QStringLiteral("Typed"));
      dlg.accept();
    }
    QCOMPARE(GetField(t, ContactField::kLastName), std::string("Typed"));
    QCOMPARE(Slurp(Des2()), Records(2));  // OK writes nothing to the file
  }

  void aSecondContactManagerCannotWrite() {
    QVERIFY(WriteFile(Des2(), Records(1)));
    TTransferCntct t = EmptyContact(), u = EmptyContact();
    std::ostringstream diag;
    ZrnCntct first(t, ctx_.get(), host_, nullptr, Des2(), diag);
    QVERIFY(first.DB().Held());
    ZrnCntct second(u, ctx_.get(), host_, nullptr, Des2(), diag);
    QVERIFY(!second.DB().Held());
    auto* status = second.findChild<QLabel*>(QStringLiteral("status"));
    QVERIFY(status && status->text().contains(QStringLiteral("Another copy")));
    second.EvBump(-1);  // looking works
    QCOMPARE(second.Edit(ContactField::kFirstName)->text(), QStringLiteral("P0"));
    Click(&second, 1212);
    QCOMPARE(host_.boxes.size(), size_t(1));
    QVERIFY(host_.boxes[0].text.find("cannot be changed") != std::string::npos);
    QCOMPARE(Slurp(Des2()), Records(1));
  }

  void speedDialControls() {
    SpeedDialStore store(dir_ + "SpeedDial.007");
    TZarnsSpeedDialDlg dlg(store, ctx_.get(), host_, nullptr);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Zarns Speed Dial"));
    QCOMPARE(dlg.objectName(), QStringLiteral("8"));
    auto* type = uitest::ById<QComboBox>(&dlg, 284);
    QVERIFY(type);
    QStringList items;
    for (int i = 0; i < type->count(); ++i) items << type->itemText(i);
    QCOMPARE(items, QStringList({"Home", "Work", "Fax", "Cel", "Other"}));
    QCOMPARE(type->currentIndex(), 0);
    QVERIFY(uitest::ById<QLineEdit>(&dlg, 283) && uitest::ById<QLineEdit>(&dlg, 107));
    const std::pair<int, const char*> buttons[] = {{1, "Add/Update"},
                                                   {106, "Reset/Clear"},
                                                   {280, "Remove"},
                                                   {104, "Dial"},
                                                   {105, "Copy to Doc"}};
    for (auto [id, text] : buttons) {
      auto* b = uitest::ById<QPushButton>(&dlg, id);
      QVERIFY2(b, text);
      QCOMPARE(b->text(), QString::fromLatin1(text));
    }
    auto* list = uitest::ById<QTreeWidget>(&dlg, 101);
    QVERIFY(list);
    QCOMPARE(list->columnCount(), 2);
    QCOMPARE(list->headerItem()->text(0), QStringLiteral("Name"));
    QCOMPARE(list->headerItem()->text(1), QStringLiteral("Number"));
    QCOMPARE(list->columnWidth(0), 40);
    QCOMPARE(list->columnWidth(1), 40);
    QCOMPARE(list->topLevelItemCount(), 0);
    QVERIFY(!dlg.EditMode);
  }

  void speedDialKeepsNumbers() {
    SpeedDialStore store(dir_ + "SpeedDial.007");
    {
      TZarnsSpeedDialDlg dlg(store, ctx_.get(), host_, nullptr);
      dlg.typeComboCtrl->setCurrentIndex(kWorkPhone);
      dlg.nameText->setText(QString(45, QLatin1Char('n')));
      dlg.numberText->setText(QStringLiteral("555-0100"));
      Click(&dlg, 1);
      dlg.BNResetClick();
      dlg.typeComboCtrl->setCurrentIndex(kCel);
      dlg.nameText->setText(QStringLiteral("Bob"));
      dlg.numberText->setText(QStringLiteral("555-0200"));
      Click(&dlg, 1);
      // The same name and type again: updated, not added.
      dlg.numberText->setText(QStringLiteral("555-0299"));
      Click(&dlg, 1);
      QCOMPARE(dlg.phoneWindow->topLevelItemCount(), 2);
      Shot(&dlg, "speeddial.png");
    }
    TZarnsSpeedDialDlg dlg(store, ctx_.get(), host_, nullptr);
    QCOMPARE(dlg.phoneWindow->topLevelItemCount(), 2);
    QTreeWidgetItem* first = dlg.phoneWindow->topLevelItem(0);
    QCOMPARE(first->text(0), QString(39, QLatin1Char('n')));  // the 39-character cut
    QCOMPARE(first->text(1), QStringLiteral("555-0100"));
    QCOMPARE(first->toolTip(0),
             QString(39, QLatin1Char('n')) + QStringLiteral(": 555-0100 (Work)"));
    QCOMPARE(dlg.phoneWindow->topLevelItem(1)->text(1), QStringLiteral("555-0299"));
    // Selecting shows the entry with its type.
    dlg.phoneWindow->topLevelItem(1)->setSelected(true);
    QCOMPARE(dlg.nameText->text(), QStringLiteral("Bob"));
    QCOMPARE(dlg.typeComboCtrl->currentIndex(), int(kCel));
    QVERIFY(dlg.EditMode);
    // Dial and Copy to Doc use the selected entry.
    Click(&dlg, 104);
    QCOMPARE(launcher_.calls.size(), size_t(1));
    QCOMPARE(launcher_.calls[0].kind, std::string("dial"));
    QCOMPARE(launcher_.calls[0].target, std::string("555-0299"));
    buf_->SetText("Call ");
    buf_->SetSelection(5, 5);
    Click(&dlg, 105);
    QCOMPARE(buf_->GetText(), std::string("Call Bob: 555-0299"));
    // Remove the selected entry; edit mode ends.
    Click(&dlg, 280);
    QVERIFY(!dlg.EditMode);
    QCOMPARE(dlg.phoneWindow->topLevelItemCount(), 1);
    std::vector<TelNum> stored;
    QVERIFY(store.GetTelNumbers(stored));
    QCOMPARE(stored.size(), size_t(1));
    QCOMPARE(TelType(stored[0]), kWorkPhone);
    // Remove without a selection: told, nothing removed.
    Click(&dlg, 280);
    QCOMPARE(host_.boxes.size(), size_t(1));
    QCOMPARE(dlg.phoneWindow->topLevelItemCount(), 1);
    // Add/Update without a name adds nothing.
    dlg.BNResetClick();
    Click(&dlg, 1);
    QCOMPARE(host_.boxes.size(), size_t(2));
    QCOMPARE(dlg.phoneWindow->topLevelItemCount(), 1);
  }
};

// The main window's three commands.
class PhoneCommandsTest : public QObject {
  Q_OBJECT
  RecordingHost host_;
  plat::RecordingLauncher launcher_;
  std::unique_ptr<TZarnsApp> app_;

 private slots:
  void initTestCase() {
    plat::SetLauncher(&launcher_);
    CatalogPrompt = [](ZrnIO&, const QString&) {};
    app_ = std::make_unique<TZarnsApp>(QStringList{QStringLiteral("zarns")}, &host_);
    app_->InitInstance();
    QVERIFY(MainWin);
  }
  void cleanupTestCase() {
    for (QMdiSubWindow* w : app_->Client()->subWindowList()) {
      if (auto* c = qobject_cast<TZarnsMDIChild*>(w)) c->SetDirty(false);
      w->close();
    }
    app_.reset();
    plat::SetLauncher(nullptr);
  }

  void commandsAreEnabled() {
    app_->UpdateCommandStates();
    for (int id : {291, 392, 269}) QVERIFY(app_->Action(id)->isEnabled());
  }

  void convertToTextOpensTheResult() {
    const std::string dir = uitest::FreshDir("convert");
    QVERIFY(
        WriteFile(dir + "report.doc", std::string("\x01\x02\x03\x04Quarterly\x00\x00report", 21)));
    host_.openAnswers = {dir + "report.doc"};
    const int before = app_->Client()->subWindowList().size();
    QVERIFY(app_->Command(291));
    QCOMPARE(host_.openDialogs.back(), std::string("File to Convert, Original is not changed"));
    QCOMPARE(Slurp(dir + "report.zxt"), std::string("Quarterly report "));
    QCOMPARE(app_->Client()->subWindowList().size(), before + 1);
    QVERIFY(app_->ActiveChild()->windowTitle().contains(QStringLiteral("report.zxt")));
    QCOMPARE(app_->ActiveChild()->View()->toPlainText(), QStringLiteral("Quarterly report "));
    Shot(MainWin, "converted.png");
    // Cancelled: nothing.
    host_.openAnswers = {std::nullopt};
    QVERIFY(app_->Command(291));
    QCOMPARE(app_->Client()->subWindowList().size(), before + 1);
    // A file that cannot be read: said, no window.
    host_.boxes.clear();
    host_.openAnswers = {dir + "gone.doc"};
    QVERIFY(app_->Command(291));
    QCOMPARE(host_.boxes.size(), size_t(1));
    QCOMPARE(host_.boxes[0].caption, std::string("Convert to Text"));
    QCOMPARE(app_->Client()->subWindowList().size(), before + 1);
  }

  void contactsAndSpeedDialOpen() {
    bool seen = false;
    uitest::OnNextModal([&](QWidget* w) {
      seen = w->windowTitle() == QStringLiteral("Contact Manager");
      w->close();
    });
    QVERIFY(app_->Command(392));
    QVERIFY(seen);
    QVERIFY(Slurp(plat::DataPath("DES2")).empty());
    seen = false;
    uitest::OnNextModal([&](QWidget* w) {
      seen = w->windowTitle() == QStringLiteral("Zarns Speed Dial");
      w->close();
    });
    QVERIFY(app_->Command(269));
    QVERIFY(seen);
  }
};

int main(int argc, char** argv) {
  uitest::Setup();
  int rc = 0;
  {
    QApplication app(argc, argv);
    PhoneDialogsTest a;
    rc |= QTest::qExec(&a, argc, argv);
    PhoneCommandsTest b;
    rc |= QTest::qExec(&b, argc, argv);
  }
  uitest::Teardown();
  return rc;
}

#include "phone_dialogs_test.moc"
