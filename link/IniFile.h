#pragma once
// Private-profile settings file (ZaroZ.ini): sections in brackets, key=value
// lines. Section and key names compare without regard to case, values do not.
// The file is Windows-1251 text with CR LF; one that starts with the UTF-8
// byte-order mark (a text editor saved it so) is read as UTF-8 and written
// back the same way, mark included. Every write goes to disk at once
// and keeps every other section, key, comment and the order of lines; it goes
// through a temporary file in the same directory and a rename, so an
// interrupted write never leaves a truncated file.
#include <QString>
#include <QStringList>

namespace calorix {

class IniFile {
 public:
  // readOnly: writes change what this object reads and never the file (the
  // command-line tool reads the console's settings and leaves them as found).
  explicit IniFile(QString path, bool readOnly = false);
  const QString& path() const { return path_; }
  // Re-reads the file; a missing file reads as empty. A file that exists but
  // cannot be read also reads as empty and is never written over.
  void reload();
  bool unreadable() const { return unreadable_; }
  // Throws AbortAction "Unable to read <full path>" when the last reload
  // found the file but could not read it.
  void requireReadable() const;
  // The file came with the UTF-8 byte-order mark.
  bool utf8() const { return utf8_; }
  // The value as stored (blanks around it trimmed), or def when the key is missing.
  QString readString(const QString& section, const QString& key, const QString& def) const;
  // The value as a whole decimal number, or def when missing or not a number.
  qint32 readInt(const QString& section, const QString& key, qint32 def) const;
  // Adds or replaces the entry and writes the file; throws AbortAction
  // "Unable to write to <full path>" when the file cannot be written.
  void writeString(const QString& section, const QString& key, const QString& value);
  void writeInt(const QString& section, const QString& key, qint32 value);

 private:
  void save();
  QString fullName() const;
  QString path_;
  bool readOnly_ = false;
  QStringList lines_;
  bool utf8_ = false;
  bool unreadable_ = false;
};

// The settings rules of the console. An integer entry that is missing or
// stored as 0 (or not a whole number) is replaced by def, which is written to
// writeSection / writeKey at once. A string entry that reads as the sentinel
// (missing, or stored as the sentinel itself) is replaced by def, written back
// under the same section and key. Both throw what IniFile's writes throw.
qint32 readIntSetting(IniFile& ini, const QString& section, const QString& key,
                      const QString& writeSection, const QString& writeKey, qint32 def);
QString readStringSetting(IniFile& ini, const QString& section, const QString& key,
                          const QString& sentinel, const QString& def);

}  // namespace calorix
