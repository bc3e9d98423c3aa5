// The Windows-1251 codec: every byte string decodes and encodes back to
// itself; any text encodes to one byte per character (a surrogate pair is one
// character outside the basic plane, a lone surrogate one of its own), and a
// character the code page has no byte for comes back as '?'.
#include "core/Cp1251.h"
#include "fuzz/FuzzInput.h"

using namespace calorix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  const QByteArray bytes = in.take(size / 2);
  FUZZ_CHECK(cp1251::encode(cp1251::decode(bytes)) == bytes, "bytes round-trip");

  const QByteArray raw = in.rest();
  const QString text(reinterpret_cast<const QChar*>(raw.constData()), raw.size() / 2);
  const QString back = cp1251::decode(cp1251::encode(text));
  qsizetype at = 0;  // the character of back that stands for text[i]
  for (qsizetype i = 0; i < text.size(); ++i, ++at) {
    FUZZ_CHECK(at < back.size(), "no character is lost");
    const bool pair =
        text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
    if (pair) {
      FUZZ_CHECK(back[at] == u'?', "a character outside the basic plane is one '?'");
      ++i;
      continue;
    }
    FUZZ_CHECK(back[at] == text[i] || back[at] == u'?', "a character is itself or '?'");
    if (text[i].isSurrogate()) FUZZ_CHECK(back[at] == u'?', "a lone surrogate is '?'");
  }
  FUZZ_CHECK(at == back.size(), "one byte per character");
  return 0;
}
