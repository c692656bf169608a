// zarns-cli convert, contacts and speeddial: Convert to Text, the contacts
// file and the speed-dial numbers for scripts.
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>

#include "cli/clihost.h"
#include "cli/commands.h"
#include "platform/plauncher.h"
#include "shell/contacts.h"
#include "shell/speeddial.h"
#include "shell/zvanilla.h"

namespace {

int Fail(const std::string& area, const std::string& text) {
  std::cerr << area << ": " << text << "\n";
  return 1;
}

std::string BusyText(const char* what, plat::FileError e) {
  if (e == plat::FileError::Busy)
    return std::string("the ") + what + " file is in use by another copy of Zarns (busy)";
  return std::string("cannot write the ") + what + " file (" + plat::FileErrorText(e) + ")";
}

// A record number as typed: digits only.
bool ParseIndex(const std::string& s, long long& out) {
  if (s.empty() || s.size() > 12) return false;
  out = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    out = out * 10 + (c - '0');
  }
  return true;
}

// Applies FIELD=VALUE assignments to `rec`; false (with a message) on an
// unknown field or a missing "=".
bool Assign(TTransferCntct& rec, const std::vector<std::string>& assignments) {
  for (const std::string& a : assignments) {
    const std::size_t eq = a.find('=');
    ContactField f;
    if (eq == std::string::npos || !ContactFieldByName(a.substr(0, eq), f)) {
      Fail("contacts", "not a FIELD=VALUE with a known field: " + a +
                           " (fields: first last address1 address2 address3 postal phone fax "
                           "email)");
      return false;
    }
    SetField(rec, f, a.substr(eq + 1));
  }
  return true;
}

void RegisterConvert(CLI::App& app, CliContext& cli) {
  auto file = std::make_shared<std::string>();
  CLI::App* cmd = app.add_subcommand(
      "convert", "Convert a file to plain text (FILE.zxt beside it); prints the file created");
  cmd->add_option("FILE", *file, "The file to convert (left unchanged)")->required();
  cmd->callback([file, &cli] {
    VanillaResult r = TZarnsVanilla().ReadWords(*file);
    if (!r.ok) {
      cli.exitCode = Fail("convert", r.error);
      return;
    }
    std::cout << r.output << "\n";
    cli.exitCode = 0;
  });
}

void RegisterContacts(CLI::App& app, CliContext& cli) {
  CLI::App* top = app.add_subcommand("contacts", "The contacts file (DES2)");
  top->require_subcommand(1);

  top->add_subcommand("list", "One line per contact: N, then the nine fields, tab-separated")
      ->callback([&cli] {
        ContactsDB db(ContactsPath(), std::cerr);
        long long n = 0;
        for (const TTransferCntct& r : db.All()) {
          std::cout << n++;
          for (const ContactFieldInfo& f : ContactFields())
            std::cout << "\t" << CliEscape(GetField(r, f.field));
          std::cout << "\n";
        }
        cli.exitCode = 0;
      });

  auto index = std::make_shared<std::string>();
  auto fields = std::make_shared<std::vector<std::string>>();

  CLI::App* show = top->add_subcommand("show", "The fields of contact N, one FIELD=VALUE a line");
  show->add_option("N", *index, "Contact number, from 0")->required();
  show->callback([index, &cli] {
    ContactsDB db(ContactsPath(), std::cerr);
    long long n;
    TTransferCntct r;
    if (!ParseIndex(*index, n) || !db.Get(n, r)) {
      cli.exitCode = Fail("contacts", "no contact " + *index);
      return;
    }
    for (const ContactFieldInfo& f : ContactFields())
      std::cout << f.name << "=" << CliEscape(GetField(r, f.field)) << "\n";
    cli.exitCode = 0;
  });

  CLI::App* address =
      top->add_subcommand("address", "Insert Address's text of contact N (CR LF line breaks)");
  address->add_option("N", *index, "Contact number, from 0")->required();
  address->callback([index, &cli] {
    ContactsDB db(ContactsPath(), std::cerr);
    long long n;
    TTransferCntct r;
    if (!ParseIndex(*index, n) || !db.Get(n, r)) {
      cli.exitCode = Fail("contacts", "no contact " + *index);
      return;
    }
    std::cout << InsertAddressText(r);
    cli.exitCode = 0;
  });

  CLI::App* add = top->add_subcommand("add", "Append a contact; prints its number");
  add->add_option("FIELD=VALUE", *fields,
                  "Fields: first last address1 address2 address3 "
                  "postal phone fax email");
  add->callback([fields, &cli] {
    TTransferCntct r = EmptyContact();
    if (!Assign(r, *fields)) {
      cli.exitCode = 1;
      return;
    }
    ContactsDB db(ContactsPath(), std::cerr);
    if (!db.OpenDB()) {
      cli.exitCode = Fail("contacts", BusyText("contacts", db.HoldError()));
      return;
    }
    if (!db.Add(r)) {
      cli.exitCode = Fail("contacts", BusyText("contacts", db.HoldError()));
      return;
    }
    std::cout << db.Shown() << "\n";
    cli.exitCode = 0;
  });

  CLI::App* change = top->add_subcommand("change", "Change the given fields of contact N");
  change->add_option("N", *index, "Contact number, from 0")->required();
  change->add_option("FIELD=VALUE", *fields, "The fields to change")->required();
  change->callback([index, fields, &cli] {
    ContactsDB db(ContactsPath(), std::cerr);
    if (!db.OpenDB()) {
      cli.exitCode = Fail("contacts", BusyText("contacts", db.HoldError()));
      return;
    }
    long long n;
    TTransferCntct r;
    if (!ParseIndex(*index, n) || !db.Get(n, r)) {
      cli.exitCode = Fail("contacts", "no contact " + *index);
      return;
    }
    if (!Assign(r, *fields)) {
      cli.exitCode = 1;
      return;
    }
    cli.exitCode = db.Change(n, r) ? 0 : Fail("contacts", BusyText("contacts", db.HoldError()));
  });

  CLI::App* del = top->add_subcommand("delete", "Delete contact N (the later ones move up)");
  del->add_option("N", *index, "Contact number, from 0")->required();
  del->callback([index, &cli] {
    ContactsDB db(ContactsPath(), std::cerr);
    if (!db.OpenDB()) {
      cli.exitCode = Fail("contacts", BusyText("contacts", db.HoldError()));
      return;
    }
    long long n;
    TTransferCntct r;
    if (!ParseIndex(*index, n) || !db.Get(n, r)) {
      cli.exitCode = Fail("contacts", "no contact " + *index);
      return;
    }
    cli.exitCode = db.Delete(n) ? 0 : Fail("contacts", BusyText("contacts", db.HoldError()));
  });
}

void RegisterSpeedDial(CLI::App& app, CliContext& cli) {
  CLI::App* top = app.add_subcommand("speeddial", "The speed-dial numbers");
  top->require_subcommand(1);

  top->add_subcommand("list", "One line per entry: TYPE, NAME, NUMBER, tab-separated")
      ->callback([&cli] {
        std::vector<TelNum> list;
        if (!SpeedDialStore().GetTelNumbers(list)) {
          cli.exitCode = Fail("speeddial", "cannot read " + SpeedDialPath());
          return;
        }
        for (const TelNum& t : list)
          std::cout << TelTypeText(TelType(t)) << "\t" << CliEscape(TelName(t)) << "\t"
                    << CliEscape(TelNumber(t)) << "\n";
        cli.exitCode = 0;
      });

  auto type = std::make_shared<std::string>();
  auto name = std::make_shared<std::string>();
  auto number = std::make_shared<std::string>();
  CLI::App* add =
      top->add_subcommand("add", "Add an entry, or give the entry of that name and type NUMBER");
  add->add_option("TYPE", *type, "Home, Work, Fax, Cel or Other")->required();
  add->add_option("NAME", *name, "Name (the first 39 characters are kept)")->required();
  add->add_option("NUMBER", *number, "Number (the first 29 characters are kept)")->required();
  add->callback([type, name, number, &cli] {
    Tels t;
    if (!TelTypeFromText(*type, t)) {
      cli.exitCode = Fail("speeddial", "unknown type " + *type + " (Home, Work, Fax, Cel, Other)");
      return;
    }
    if (name->empty()) {
      cli.exitCode = Fail("speeddial", "the name is empty");
      return;
    }
    SpeedDialStore s;
    cli.exitCode = s.SetTelNumber(MakeTelNum(t, *name, *number))
                       ? 0
                       : Fail("speeddial", BusyText("speed-dial", s.Error()));
  });

  CLI::App* remove = top->add_subcommand("remove", "Remove every entry of NAME");
  remove->add_option("NAME", *name, "Name, exactly as listed")->required();
  remove->callback([name, &cli] {
    SpeedDialStore s;
    const int n = s.RemoveName(*name);
    if (n < 0)
      cli.exitCode = Fail("speeddial", BusyText("speed-dial", s.Error()));
    else
      cli.exitCode = n == 0 ? Fail("speeddial", "no entry " + *name) : 0;
  });

  CLI::App* dial = top->add_subcommand("dial", "Dial the first entry of NAME (a tel: request)");
  dial->add_option("NAME", *name, "Name, exactly as listed")->required();
  dial->callback([name, &cli] {
    std::vector<TelNum> list;
    SpeedDialStore().GetTelNumbers(list);
    for (const TelNum& t : list) {
      if (TelName(t) != *name) continue;
      const std::string n = DialableNumber(TelNumber(t));
      if (n.empty()) {
        cli.exitCode = Fail("speeddial", "no number to dial for " + *name);
        return;
      }
      cli.exitCode = plat::Launch().Dial(n) ? 0 : 1;
      return;
    }
    cli.exitCode = Fail("speeddial", "no entry " + *name);
  });
}

}  // namespace

void RegisterPhoneCommands(CLI::App& app, CliContext& cli) {
  RegisterConvert(app, cli);
  RegisterContacts(app, cli);
  RegisterSpeedDial(app, cli);
}
