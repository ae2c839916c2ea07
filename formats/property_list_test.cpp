#include "formats/property_list.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "tests/shown_bytes.h"

namespace brenlow {

namespace {

// What reading a document gives, as one string: "LINE:reading|word" for
// each entry and "LINE:skipped" for each dict without its keys, joined by
// spaces; or "error LINE: message".
std::string read_shown(const std::string& text) {
  property_list list;
  line_problem problem;
  if (!read_property_list(text, list, problem)) {
    return "error " + std::to_string(problem.line_number) + ": " +
           problem.message;
  }
  std::string shown;
  for (const property_list_entry& entry : list.entries) {
    if (!shown.empty()) shown += ' ';
    shown += std::to_string(entry.line) + ":";
    if (entry.read.kind == line_kind::skipped) {
      shown += entry.read.reason == skip_reason::missing_key ? "skipped"
                                                             : "skipped?";
    } else {
      if (!entry.read.fields_in_buffer) shown += "(not in buffer)";
      shown += std::string(entry.read.fields.reading) + "|" +
               std::string(entry.read.fields.word);
    }
  }
  return shown;
}

// macOS's export as it starts and ends: the array opens on line 4, so the
// first dict of a body is on line 5.
constexpr std::string_view head =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n"
    "<array>\n";
constexpr std::string_view tail = "</array>\n</plist>\n";

std::string listed(const std::string& body) {
  return std::string(head) + body + std::string(tail);
}

std::string repeated(const std::string& part, std::size_t times) {
  std::string whole;
  for (std::size_t i = 0; i < times; ++i) whole += part;
  return whole;
}

// The start of a document, as a failure shows it.
std::string shown_start(const std::string& text) {
  return shown_bytes(text.substr(0, 400));
}

std::string dict(const std::string& inside) {
  return "\t<dict>" + inside + "</dict>\n";
}

std::string pair(const std::string& key, const std::string& value) {
  return "<key>" + key + "</key><string>" + value + "</string>";
}

TEST(ReadPropertyList, EntriesOfTheList) {
  if (!property_lists_readable()) GTEST_SKIP() << "no XML reader";
  struct {
    std::string text;
    std::string expected;
  } const cases[] = {
      // As macOS writes it, indented, a key and its string on lines of
      // their own.
      {listed("\t<dict>\n"
              "\t\t<key>phrase</key>\n"
              "\t\t<string>\xE3\x82\xA2\xE3\x83\xBC\xE3\x83\xA9\xE3\x83\xB3"
              "</string>\n"
              "\t\t<key>shortcut</key>\n"
              "\t\t<string>\xE3\x81\x82\xE3\x83\xBC\xE3\x82\x89\xE3\x82\x93"
              "</string>\n"
              "\t</dict>\n"
              "\t<dict>\n"
              "\t\t<key>phrase</key>\n"
              "\t\t<string>w2</string>\n"
              "\t\t<key>shortcut</key>\n"
              "\t\t<string>r2</string>\n"
              "\t</dict>\n"),
       "5:\xE3\x81\x82\xE3\x83\xBC\xE3\x82\x89\xE3\x82\x93|"
       "\xE3\x82\xA2\xE3\x83\xBC\xE3\x83\xA9\xE3\x83\xB3 11:r2|w2"},
      // Either order of the keys.
      {listed(dict(pair("shortcut", "r") + pair("phrase", "w")) +
              dict(pair("phrase", "w") + pair("shortcut", "r"))),
       "5:r|w 6:r|w"},
      // Entities and character references decoded, CDATA read as text.
      {listed(dict(pair("shortcut", "a&amp;b&lt;c&gt;d&quot;e&apos;f") +
                   pair("phrase", "&#x3042;&#12354;&#x41;"))),
       "5:a&b<c>d\"e'f|\xE3\x81\x82\xE3\x81\x82"
       "A"},
      {listed(dict(pair("shortcut", "<![CDATA[<a>&amp;]]>") +
                   pair("phrase", "x<![CDATA[]]>y<![CDATA[\n]]>z"))),
       "5:<a>&amp;|xy\nz"},
      // Other keys are ignored, whatever their strings hold.
      {listed(dict(pair("shortcut", "r") + pair("note", "<![CDATA[x]]>") +
                   pair("phrase", "w") + pair("", ""))),
       "5:r|w"},
      // A key given twice: the later string counts.
      {listed(dict(pair("shortcut", "r1") + pair("phrase", "w") +
                   pair("shortcut", "r2"))),
       "5:r2|w"},
      // Empty strings are entries: the entry rules decide about them.
      {listed(dict(pair("shortcut", "") + "<key>phrase</key><string/>")),
       "5:|"},
      // A dict without one of the keys is skipped, numbered by its line;
      // the next ones are read.
      {listed(dict(pair("phrase", "w")) + dict(pair("shortcut", "r")) +
              "\t<dict/>\n" + dict("") +
              dict(pair("Shortcut", "r") + pair("phrase", "w")) +
              dict(pair("shortcut", "r") + pair("phrase", "w"))),
       "5:skipped 6:skipped 7:skipped 8:skipped 9:skipped 10:r|w"},
      // An empty list, written either way.
      {listed(""), ""},
      {"<plist version=\"1.0\"><array/></plist>", ""},
      // Without an XML declaration or a document type; one line.
      {"<plist><array><dict>" + pair("shortcut", "r") + pair("phrase", "w") +
           "</dict></array></plist>",
       "1:r|w"},
      // Comments and processing instructions are not text.
      {listed("<!-- c -->\n" +
              dict("<!-- <key>x</key> -->" + pair("shortcut", "r") +
                   "<?pi x?>" + pair("phrase", "w"))),
       "6:r|w"},
      // A line break inside a tag: the dict is numbered by where it starts.
      {listed("\t<dict\n>" + pair("shortcut", "r") + pair("phrase", "w") +
              "</dict>\n"),
       "5:r|w"},
      // Line ends of any kind count as one line each.
      {"<plist>\r\n<array>\r<dict>" + pair("shortcut", "r") +
           pair("phrase", "w") + "</dict></array></plist>",
       "3:r|w"},
      // The declared encoding does not matter: the text is UTF-8.
      {"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<plist><array><dict>" +
           pair("shortcut", "\xE3\x81\x82") + pair("phrase", "w") +
           "</dict></array></plist>",
       "2:\xE3\x81\x82|w"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(read_shown(c.text), c.expected) << shown_start(c.text);
  }
}

TEST(ReadPropertyList, RefusedDocuments) {
  if (!property_lists_readable()) GTEST_SKIP() << "no XML reader";
  const std::string entry = dict(pair("shortcut", "r") + pair("phrase", "w"));
  struct {
    std::string text;
    std::string expected;
  } const cases[] = {
      // Not of the shape.
      {"<dict>" + pair("shortcut", "r") + "</dict>",
       "error 1: expected <plist>, found <dict>"},
      {"<plist>\n<dict/>\n</plist>",
       "error 2: expected <array> inside <plist>, found <dict>"},
      {"<plist version=\"1.0\">\n</plist>",
       "error 2: expected <array> inside <plist>, found </plist>"},
      {"<plist><array/>\n<array/></plist>",
       "error 2: expected </plist> after </array>, found <array>"},
      {listed(entry + "\t<string>x</string>\n"),
       "error 6: expected <dict> inside <array>, found <string>"},
      {listed(entry + "\t<array/>\n"),
       "error 6: expected <dict> inside <array>, found <array>"},
      {listed("\t<dict>\n\t\t<key>shortcut</key>\n\t\t<array/>\n\t</dict>\n"),
       "error 7: expected <string> after <key>, found <array>"},
      {listed("\t<dict>\n<key>shortcut</key>\n\t</dict>\n"),
       "error 7: expected <string> after <key>, found </dict>"},
      {listed(dict("<string>r</string>")),
       "error 5: expected <key> inside <dict>, found <string>"},
      {listed(dict("<key>shortcut</key><integer>1</integer>")),
       "error 5: expected <string> after <key>, found <integer>"},
      {listed(dict("<key>shortcut</key><string><b>r</b></string>")),
       "error 5: expected text inside <string>, found <b>"},
      {listed(dict("<key><dict/></key>")),
       "error 5: expected text inside <key>, found <dict>"},
      // Text outside key and string.
      {listed("\tword\n"),
       "error 5: expected <dict> inside <array>, found text"},
      {listed(dict(pair("shortcut", "r") + "x" + pair("phrase", "w"))),
       "error 5: expected <key> inside <dict>, found text"},
      {"<plist><array/>x</plist>",
       "error 1: expected </plist> after </array>, found text"},
      // Nesting beyond the shape is refused at its first element.
      {listed(std::string(100000, '\n') + "<dict><key>k</key><string>" +
              repeated("<string>", 1000000)),
       "error 100005: expected text inside <string>, found <string>"},
      {repeated("<plist>", 1000000),
       "error 1: expected <array> inside <plist>, found <plist>"},
      // Not well-formed XML, in expat's words.
      {listed(entry).substr(0, listed(entry).size() - 9),
       "error 7: not well-formed XML: no element found"},
      {listed(dict(pair("shortcut", "r") + "<key>phrase</key><string>w")),
       "error 5: not well-formed XML: mismatched tag"},
      {listed(entry).substr(0, head.size() + 20),
       "error 5: not well-formed XML: no element found"},
      {listed(entry).substr(0, head.size() + 37),
       "error 5: not well-formed XML: unclosed token"},
      {listed(dict(pair("shortcut", "&#X41;") + pair("phrase", "w"))),
       "error 5: not well-formed XML: not well-formed (invalid token)"},
      {listed("\t<dict><key>shortcut</key><string>r</string>\n</array>\n"),
       "error 6: not well-formed XML: mismatched tag"},
      {"", "error 1: not well-formed XML: no element found"},
      {listed(dict(pair("shortcut", "r\xFF") + pair("phrase", "w"))),
       "error 5: not well-formed XML: not well-formed (invalid token)"},
      {listed("\n" + dict(pair("shortcut", "\xE3\x81") + pair("phrase", "w"))),
       "error 6: not well-formed XML: not well-formed (invalid token)"},
      {listed(dict(pair("shortcut", "&#xD800;") + pair("phrase", "w"))),
       "error 5: not well-formed XML: reference to invalid character number"},
      {listed(dict(pair("shortcut", "&#0;") + pair("phrase", "w"))),
       "error 5: not well-formed XML: reference to invalid character number"},
      {listed(dict(pair("shortcut", "a & b") + pair("phrase", "w"))),
       "error 5: not well-formed XML: not well-formed (invalid token)"},
      {listed(entry) + "<plist/>",
       "error 8: not well-formed XML: junk after document element"},
      // No entity but the five of XML: none declared ...
      {"<plist><array><dict>" + pair("shortcut", "&nbsp;") +
           pair("phrase", "w") + "</dict></array></plist>",
       "error 1: not well-formed XML: undefined entity"},
      // ... nor left to the external document type, which is never read.
      {listed(dict(pair("shortcut", "&nbsp;") + pair("phrase", "w"))),
       "error 5: undefined entity \"nbsp\""},
      // A document type declaring entities is refused at the first one,
      // before any could be expanded.
      {"<?xml version=\"1.0\"?>\n"
       "<!DOCTYPE plist [\n"
       "  <!ENTITY lol \"lol\">\n"
       "  <!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">\n"
       "]>\n"
       "<plist><array><dict>" +
           pair("shortcut", "&lol2;") + pair("phrase", "w") +
           "</dict></array></plist>",
       "error 3: the document type declares the entity \"lol\": entity "
       "declarations are refused"},
      {"<!DOCTYPE plist [<!ENTITY % p \"x\">]><plist><array/></plist>",
       "error 1: the document type declares the entity \"p\": entity "
       "declarations are refused"},
      {"<!DOCTYPE plist SYSTEM \"file:///etc/passwd\" [\n"
       "<!ENTITY e SYSTEM \"file:///etc/passwd\">]>\n"
       "<plist><array><dict>" +
           pair("shortcut", "&e;") + pair("phrase", "w") +
           "</dict></array></plist>",
       "error 2: the document type declares the entity \"e\": entity "
       "declarations are refused"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(read_shown(c.text), c.expected) << shown_start(c.text);
  }
}

TEST(ReadPropertyList, FieldsOutliveTheReaderAndMoves) {
  if (!property_lists_readable()) GTEST_SKIP() << "no XML reader";
  property_list list;
  line_problem problem;
  ASSERT_TRUE(read_property_list(
      listed(dict(pair("shortcut", "short") + pair("phrase", "w")) +
             dict(pair("shortcut", std::string(100, 'r')) +
                  pair("phrase", std::string(100, 'w')))),
      list, problem));
  const property_list moved = std::move(list);
  ASSERT_EQ(moved.entries.size(), 2U);
  EXPECT_EQ(moved.entries[0].read.fields.reading, "short");
  EXPECT_EQ(moved.entries[1].read.fields.word, std::string(100, 'w'));
}

#ifdef _WIN32
TEST(PropertyListsReadable, NotInTheWindowsProgram) {
  EXPECT_FALSE(property_lists_readable());
  property_list list;
  line_problem problem;
  EXPECT_FALSE(read_property_list(
      listed(dict(pair("shortcut", "r") + pair("phrase", "w"))), list,
      problem));
  EXPECT_TRUE(list.entries.empty());
  EXPECT_EQ(problem.line_number, 0U);
  EXPECT_EQ(problem.message,
            "property lists need the Linux or macOS build of brenlow: this "
            "Windows program has no XML reader");
}
#else
TEST(PropertyListsReadable, InTheLinuxAndMacOSBuilds) {
  EXPECT_TRUE(property_lists_readable());
}
#endif

}  // namespace

}  // namespace brenlow
