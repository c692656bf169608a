// A registry in the image of HKEY_CLASSES_ROOT: hierarchical keys with a
// default value and named string or 32-bit values. The program's own keys
// live in a file in the data directory, rewritten atomically on every change.
// The file-type keys (".txt" with its "Content Type") are read-only and come
// from the platform's MIME database: /etc/mime.types, or $ZARNS_MIME_TYPES.
// Key names are matched without regard to case and keep the case they were
// created with; path components are separated by "\".
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace plat {

enum class RegType { String, Dword };

struct RegValue {
  std::string name;  // "" is the key's default value
  RegType type = RegType::String;
  std::string str;          // for String
  std::uint32_t dword = 0;  // for Dword
};

class Registry {
 public:
  virtual ~Registry();
  // True when the key exists ("" is the root).
  virtual bool KeyExists(const std::string& key) = 0;
  // Creates the key and any missing parents; true when it exists afterwards.
  virtual bool CreateKey(const std::string& key) = 0;
  // Deletes the key with all its subkeys and values; false when it was missing.
  virtual bool DeleteKey(const std::string& key) = 0;
  // Sets a string value ("" names the default value), creating the key.
  virtual bool SetString(const std::string& key, const std::string& name,
                         const std::string& value) = 0;
  // Sets a 32-bit value, creating the key.
  virtual bool SetDword(const std::string& key, const std::string& name, std::uint32_t value) = 0;
  // Removes one value; false when it was missing.
  virtual bool DeleteValue(const std::string& key, const std::string& name) = 0;
  // A string value, or nothing when the key or value is missing or not a string.
  virtual std::optional<std::string> GetString(const std::string& key, const std::string& name) = 0;
  // A 32-bit value, or nothing.
  virtual std::optional<std::uint32_t> GetDword(const std::string& key,
                                                const std::string& name) = 0;
  // The name of subkey number `index` (0-based, stable order); false past the last.
  virtual bool EnumKey(const std::string& key, std::uint32_t index, std::string& name) = 0;
  // Value number `index` of the key (the default value is not enumerated
  // unless set); false past the last.
  virtual bool EnumValue(const std::string& key, std::uint32_t index, RegValue& value) = 0;
};

// HKEY_CLASSES_ROOT: the program's store merged with the MIME file types.
// Reloaded from disk when the data directory changes (tests switch it).
Registry& ClassesRoot();
// Installs a registry for tests (not owned); nullptr restores the real one.
void SetClassesRoot(Registry* r);

}  // namespace plat
