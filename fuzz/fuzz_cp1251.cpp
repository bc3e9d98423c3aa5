// The Windows-1251 codec: every byte string decodes and encodes back to
// itself; any text encodes to one byte per character, and a character the
// code page has no byte for comes back as '?'.
#include "core/Cp1251.h"
#include "fuzz/FuzzInput.h"

using namespace calorix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  const QByteArray bytes = in.take(size / 2);
  FUZZ_CHECK(cp1251::encode(cp1251::decode(bytes)) == bytes, "bytes round-trip");

  const QByteArray raw = in.rest();
  const QString text(reinterpret_cast<const QChar*>(raw.constData()), raw.size() / 2);
  const QByteArray encoded = cp1251::encode(text);
  FUZZ_CHECK(encoded.size() == text.size(), "one byte per UTF-16 unit");
  const QString back = cp1251::decode(encoded);
  for (qsizetype i = 0; i < text.size(); ++i)
    FUZZ_CHECK(back[i] == text[i] || back[i] == u'?', "a character is itself or '?'");
  return 0;
}
