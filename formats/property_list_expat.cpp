// The property list reader of the Linux and macOS builds: expat, fed the
// whole text, reporting to property_list_shape.
#include <expat.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>

#include "formats/property_list.h"
#include "formats/property_list_shape.h"

namespace brenlow {

namespace {

// expat counts lines as it is asked: only where a line is needed.
struct expat_lines final : line_source {
  explicit expat_lines(XML_Parser p) : parser(p) {}
  std::size_t line() const override { return XML_GetCurrentLineNumber(parser); }
  XML_Parser parser;
};

struct reading_state {
  XML_Parser parser;
  expat_lines lines;
  property_list_shape shape;
  line_problem problem;  // a refusal of this reader's own, not the shape's
  bool stopped = false;
};

std::size_t current_line(const reading_state& state) {
  return XML_GetCurrentLineNumber(state.parser);
}

// Stops the parser for good: expat may still deliver an event or two after
// XML_StopParser, which must change nothing.
void stop(reading_state& state) {
  state.stopped = true;
  (void)XML_StopParser(state.parser, XML_FALSE);
}

void refuse(reading_state& state, std::string message) {
  state.problem.line_number = current_line(state);
  state.problem.message = std::move(message);
  stop(state);
}

void XMLCALL on_start(void* data, const XML_Char* name, const XML_Char**) {
  auto& state = *static_cast<reading_state*>(data);
  if (state.stopped) return;
  if (!state.shape.start_element(name, state.lines)) stop(state);
}

void XMLCALL on_end(void* data, const XML_Char* name) {
  auto& state = *static_cast<reading_state*>(data);
  if (state.stopped) return;
  if (!state.shape.end_element(name, state.lines)) stop(state);
}

void XMLCALL on_text(void* data, const XML_Char* text, int length) {
  auto& state = *static_cast<reading_state*>(data);
  if (state.stopped) return;
  if (!state.shape.text(
          std::string_view(text, static_cast<std::size_t>(length)),
          state.lines)) {
    stop(state);
  }
}

// An entity declared by the document itself could expand without bound
// (nested references: "billion laughs"); a property list never needs one.
void XMLCALL on_entity_declaration(void* data, const XML_Char* name, int,
                                   const XML_Char*, int, const XML_Char*,
                                   const XML_Char*, const XML_Char*,
                                   const XML_Char*) {
  auto& state = *static_cast<reading_state*>(data);
  if (state.stopped) return;
  refuse(state, "the document type declares the entity \"" + std::string(name) +
                    "\": entity declarations are refused");
}

// With an external document type (Apple's DTD, which is never read) expat
// cannot tell an undeclared entity from one the DTD might declare, and
// would drop the reference silently; here it is an error, as without a
// document type.
void XMLCALL on_skipped_entity(void* data, const XML_Char* name, int) {
  auto& state = *static_cast<reading_state*>(data);
  if (state.stopped) return;
  refuse(state, "undefined entity \"" + std::string(name) + "\"");
}

struct parser_free {
  void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};

}  // namespace

bool property_lists_readable() { return true; }

bool read_property_list(std::string_view text, property_list& out,
                        line_problem& problem) {
  // UTF-8 whatever the XML declaration says: the text has been decoded.
  const std::unique_ptr<XML_ParserStruct, parser_free> parser(
      XML_ParserCreate("UTF-8"));
  if (!parser) throw std::bad_alloc();
  reading_state state{
      parser.get(), expat_lines(parser.get()), property_list_shape(out), {}};
  XML_SetUserData(parser.get(), &state);
  XML_SetElementHandler(parser.get(), on_start, on_end);
  XML_SetCharacterDataHandler(parser.get(), on_text);
  XML_SetEntityDeclHandler(parser.get(), on_entity_declaration);
  XML_SetSkippedEntityHandler(parser.get(), on_skipped_entity);
  // No external entity or DTD is ever loaded: no handler reads them, and
  // parameter entities are not parsed.
  (void)XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);
#ifdef BRENLOW_EXPAT_AMPLIFICATION_LIMIT
  // A second guard should an entity ever get past the declaration handler.
  (void)XML_SetBillionLaughsAttackProtectionMaximumAmplification(parser.get(),
                                                                 2.0F);
  (void)XML_SetBillionLaughsAttackProtectionActivationThreshold(parser.get(),
                                                                1U << 20U);
#endif

  // The text goes in pieces: XML_Parse takes an int length, and copies
  // what it is given into a buffer of its own, which stays small.
  constexpr std::size_t piece_size = std::size_t{1} << 20;
  static_assert(piece_size <= INT_MAX);
  std::size_t done = 0;
  do {
    const std::size_t piece =
        std::min<std::size_t>(text.size() - done, piece_size);
    const bool last = done + piece == text.size();
    const XML_Status status =
        XML_Parse(parser.get(), text.data() + done, static_cast<int>(piece),
                  last ? XML_TRUE : XML_FALSE);
    done += piece;
    if (status == XML_STATUS_OK) continue;
    if (state.stopped && state.problem.message.empty()) {
      problem = state.shape.problem();
    } else if (state.stopped) {
      problem = std::move(state.problem);
    } else {
      problem.line_number = XML_GetCurrentLineNumber(parser.get());
      problem.message = std::string("not well-formed XML: ") +
                        XML_ErrorString(XML_GetErrorCode(parser.get()));
    }
    return false;
  } while (done < text.size());
  if (!state.shape.finish(state.lines)) {
    problem = state.shape.problem();
    return false;
  }
  return true;
}

}  // namespace brenlow
