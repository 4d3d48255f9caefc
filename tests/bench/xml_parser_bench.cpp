// Scanning speed: a typical WCTP reply, and a 1 MiB document of records with
// attributes, references and UTF-8 text.
#include <benchmark/benchmark.h>

#include <string>

#include "gateway/wctp/xml_parser.h"

namespace {

const char kReply[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<!DOCTYPE wctp-Operation SYSTEM \"http://dtd.wctp.org/wctp-dtd-v1r1.dtd\">\r\n"
    "<wctp-Operation wctpVersion=\"wctp-dtd-v1r1\" wctpToken=\"9F1C\">\r\n"
    "  <wctp-Confirmation>\r\n"
    "    <wctp-ClientSuccess successCode=\"200\" successText=\"Message queued for delivery\"/>\r\n"
    "  </wctp-Confirmation>\r\n"
    "</wctp-Operation>\r\n";

std::string LargeDocument() {
  std::string text = "<?xml version=\"1.0\"?>\n<!DOCTYPE log [<!ENTITY co \"Paging Co.\">]>\n<log>\n";
  for (int i = 0; text.size() < (1u << 20); ++i) {
    text += "  <page id=\"" + std::to_string(i) + "\" pin=\"5551234\" priority=\"HIGH\">";
    text += "Caf\xC3\xA9 at 10 &lt; 11 &amp; &co; message text for the pager, number " + std::to_string(i) + "</page>\n";
  }
  return text + "</log>\n";
}

// Walks every part and reads what the WCTP client reads.
size_t Scan(vltg::TXmlParser& parser) {
  size_t bytes = 0;
  parser.ResetScan();
  while (parser.NextPart()) {
    bytes += parser.GetPartName().size() + parser.GetPartContent().size();
    const vltg::TAttrList& attrs = parser.GetPartAttrs();
    for (int i = 0; i < attrs.Count(); ++i) bytes += attrs.NameAt(i).size() + attrs.ValueAt(i).size();
  }
  return bytes;
}

void BM_WctpReply(benchmark::State& state) {
  for (auto _ : state) {
    vltg::TXmlParser parser;
    parser.SetBufferText(kReply);
    benchmark::DoNotOptimize(Scan(parser));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(sizeof(kReply) - 1));
}
BENCHMARK(BM_WctpReply);

void BM_OneMiBDocument(benchmark::State& state) {
  const std::string text = LargeDocument();
  for (auto _ : state) {
    vltg::TXmlParser parser;
    parser.SetBufferText(text);
    benchmark::DoNotOptimize(Scan(parser));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_OneMiBDocument)->Unit(benchmark::kMillisecond);

}  // namespace
