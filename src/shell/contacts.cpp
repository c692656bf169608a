#include "shell/contacts.h"

#include <cstddef>
#include <cstring>
#include <ostream>

#include "platform/pdatadir.h"

const std::array<ContactFieldInfo, kContactFields>& ContactFields() {
  static const std::array<ContactFieldInfo, kContactFields> fields = {{
      {ContactField::kFirstName, offsetof(TTransferCntct, editFirstName), 30, 291, "first"},
      {ContactField::kLastName, offsetof(TTransferCntct, editLastName), 30, 2952, "last"},
      {ContactField::kAddress1, offsetof(TTransferCntct, editAddress1), 80, 293, "address1"},
      {ContactField::kAddress2, offsetof(TTransferCntct, editAddress2), 80, 294, "address2"},
      {ContactField::kAddress3, offsetof(TTransferCntct, editAddress3), 80, 295, "address3"},
      {ContactField::kPostalCode, offsetof(TTransferCntct, editPostalCode), 80, 296, "postal"},
      {ContactField::kPhone, offsetof(TTransferCntct, editPhone), 30, 297, "phone"},
      {ContactField::kFax, offsetof(TTransferCntct, editFax), 30, 298, "fax"},
      {ContactField::kEmail, offsetof(TTransferCntct, editEmail), 80, 299, "email"},
  }};
  return fields;
}

bool ContactFieldByName(const std::string& name, ContactField& out) {
  for (const ContactFieldInfo& f : ContactFields()) {
    if (name == f.name) {
      out = f.field;
      return true;
    }
  }
  return false;
}

namespace {

const ContactFieldInfo& Info(ContactField f) { return ContactFields()[static_cast<int>(f)]; }

char* Slot(TTransferCntct& rec, ContactField f) {
  return reinterpret_cast<char*>(&rec) + Info(f).offset;
}
const char* Slot(const TTransferCntct& rec, ContactField f) {
  return reinterpret_cast<const char*>(&rec) + Info(f).offset;
}

}  // namespace

std::string GetField(const TTransferCntct& rec, ContactField f) {
  const char* s = Slot(rec, f);
  const std::size_t size = Info(f).size;
  const void* nul = std::memchr(s, 0, size);
  return std::string(s, nul ? static_cast<const char*>(nul) - s : size);
}

void SetField(TTransferCntct& rec, ContactField f, const std::string& text) {
  const std::size_t size = Info(f).size;
  std::size_t n = std::min(text.size(), size - 1);
  // Cutting inside a UTF-8 sequence would leave a broken character behind.
  if (n < text.size()) {
    std::size_t back = 0;
    while (n > 0 && back < 3 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) {
      --n;
      ++back;
    }
    if (back == 3 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) n += back;
  }
  char* s = Slot(rec, f);
  std::memset(s, 0, size);
  std::memcpy(s, text.data(), n);
}

TTransferCntct EmptyContact() {
  TTransferCntct r;
  std::memset(&r, 0, sizeof r);
  return r;
}

std::string ContactBytes(const TTransferCntct& rec) {
  return std::string(reinterpret_cast<const char*>(&rec), sizeof rec);
}

TTransferCntct ContactFromBytes(const char* bytes) {
  TTransferCntct r;
  std::memcpy(&r, bytes, sizeof r);
  return r;
}

std::string InsertAddressText(const TTransferCntct& rec) {
  std::string s = GetField(rec, ContactField::kFirstName) + " ";
  for (ContactField f : {ContactField::kLastName, ContactField::kAddress1, ContactField::kAddress2,
                         ContactField::kAddress3, ContactField::kPostalCode})
    s += GetField(rec, f) + "\r\n";
  return s;
}

std::string DialableNumber(const std::string& typed) {
  std::string n;
  bool digits = false;
  for (char c : typed) {
    if (c >= '0' && c <= '9') {
      digits = true;
      n += c;
    } else if (std::strchr("+*#()-.", c) && c != '\0') {
      n += c;
    }
  }
  return digits ? n : std::string();
}

std::string MailtoAddress(const std::string& typed) {
  std::size_t b = 0, e = typed.size();
  while (b < e && (typed[b] == ' ' || typed[b] == '\t')) ++b;
  while (e > b && (typed[e - 1] == ' ' || typed[e - 1] == '\t')) --e;
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = b; i < e; ++i) {
    const unsigned char c = static_cast<unsigned char>(typed[i]);
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '@' || c == '.' || c == '_' || c == '+' || c == '-';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string ContactsPath() { return plat::DataPath("DES2"); }

ContactsDB::ContactsDB(std::string path, std::ostream& diag)
    : file_(std::move(path)), diag_(diag) {}

ContactsDB::~ContactsDB() { CloseDB(); }

bool ContactsDB::OpenDB() { return file_.Hold(); }

void ContactsDB::CloseDB() { file_.Release(); }

long long ContactsDB::ReadFromDB(TTransferCntct& rec) {
  plat::FileSystem& fs = plat::Fs();
  plat::HANDLE h = fs.Open(Path(), plat::Access::ReadUnlocked, plat::Creation::OpenExisting);
  if (!plat::IsOpen(h)) return 0;  // no file: every read delivers nothing
  char buf[kRecord];
  long long got = 0;
  if (fs.Seek(h, pos_, plat::Whence::Begin) != pos_) {
    diag_ << "Error repositioning file " << std::endl;
  } else {
    while (got < kRecord) {
      const long long n = fs.Read(h, buf + got, static_cast<std::size_t>(kRecord - got));
      if (n < 0) {
        diag_ << "Error reading into file " << std::endl;
        got = 0;
        break;
      }
      if (n == 0) break;
      got += n;
    }
  }
  fs.Close(h);
  // A damaged file's last, partial record is never shown.
  if (got < kRecord) return 0;
  rec = ContactFromBytes(buf);
  shown_ = pos_ / kRecord;
  pos_ += kRecord;
  return got;
}

// Back from record 0 the cursor cannot go two records: it goes to the
// start, so the read after it shows record 0 again rather than record 1.
void ContactsDB::ReposDB() { pos_ = pos_ >= 2 * kRecord ? pos_ - 2 * kRecord : 0; }

bool ContactsDB::Bump(int delta, TTransferCntct& rec) {
  if (delta > 0) ReposDB();
  return ReadFromDB(rec) == kRecord;
}

bool ContactsDB::ShowNear(TTransferCntct& rec) {
  if (ReadFromDB(rec) == kRecord) return true;
  if (pos_ < kRecord) return false;
  pos_ -= kRecord;
  return ReadFromDB(rec) == kRecord;
}

long long ContactsDB::Count() const {
  std::string data;
  if (!file_.Read(data)) return -1;
  return static_cast<long long>(data.size()) / kRecord;
}

bool ContactsDB::Get(long long index, TTransferCntct& rec) const {
  std::string data;
  if (index < 0 || !file_.Read(data)) return false;
  if (static_cast<long long>(data.size()) < (index + 1) * kRecord) return false;
  rec = ContactFromBytes(data.data() + index * kRecord);
  return true;
}

std::vector<TTransferCntct> ContactsDB::All() const {
  std::vector<TTransferCntct> out;
  std::string data;
  if (!file_.Read(data)) return out;
  for (std::size_t at = 0; at + kRecord <= data.size(); at += kRecord)
    out.push_back(ContactFromBytes(data.data() + at));
  return out;
}

bool ContactsDB::Rewrite(const std::string& data) { return file_.Replace(data); }

bool ContactsDB::Add(const TTransferCntct& rec) {
  std::string data;
  if (!Held() || !file_.Read(data)) return false;
  // A damaged file's partial last record is kept, filled up with zeros, so
  // the new record starts on a record boundary and no byte is lost.
  if (data.size() % kRecord) data.resize((data.size() / kRecord + 1) * kRecord, '\0');
  data += ContactBytes(rec);
  if (!Rewrite(data)) return false;
  pos_ = static_cast<long long>(data.size());
  shown_ = pos_ / kRecord - 1;
  return true;
}

bool ContactsDB::Change(long long index, const TTransferCntct& rec) {
  std::string data;
  if (!Held() || index < 0 || !file_.Read(data)) return false;
  if (static_cast<long long>(data.size()) < (index + 1) * kRecord) return false;
  data.replace(static_cast<std::size_t>(index * kRecord), kRecord, ContactBytes(rec));
  return Rewrite(data);
}

bool ContactsDB::Delete(long long index) {
  std::string data;
  if (!Held() || index < 0 || !file_.Read(data)) return false;
  if (static_cast<long long>(data.size()) < (index + 1) * kRecord) return false;
  data.erase(static_cast<std::size_t>(index * kRecord), kRecord);
  if (!Rewrite(data)) return false;
  // The cursor stays on the same place in the list: the record that moved
  // up into the gap is next, so a positive step still goes backwards.
  if (shown_ == index) {
    shown_ = -1;
    pos_ = index * kRecord;
  } else if (shown_ > index) {
    --shown_;
    pos_ -= kRecord;
  }
  return true;
}
