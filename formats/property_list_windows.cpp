// The property list reader of the Windows program: Windows' own XML reader,
// XmlLite, reporting to property_list_shape as expat does in the other
// builds. xmllite.dll is part of every Windows since Vista (and Wine), but
// MinGW has no import library for it, and the program is to import only
// the DLLs tests/windows_program.sh lists: it is loaded from the system
// folder when a property list is read.
#include <windows.h>
#include <xmllite.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "formats/property_list.h"
#include "formats/property_list_shape.h"

namespace brenlow {

namespace {

using create_reader_function = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);
using create_input_function = HRESULT(WINAPI*)(IUnknown*, IMalloc*, LPCWSTR,
                                               BOOL, LPCWSTR,
                                               IXmlReaderInput**);

// {7279FC81-709D-4095-B63D-69FE4B0D9030}
constexpr IID reader_interface = {
    0x7279FC81,
    0x709D,
    0x4095,
    {0xB6, 0x3D, 0x69, 0xFE, 0x4B, 0x0D, 0x90, 0x30}};
constexpr IID unknown_interface = {
    0x00000000,
    0x0000,
    0x0000,
    {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID sequential_stream_interface = {
    0x0C733A30,
    0x2A1C,
    0x11CE,
    {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};

// The text as a stream XmlLite reads from, without a copy. It lives on the
// reader's stack, so its count of references only has to be kept.
class text_stream final : public ISequentialStream {
 public:
  explicit text_stream(std::string_view text) : text_(text) {}
  virtual ~text_stream() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(id, unknown_interface) ||
        IsEqualIID(id, sequential_stream_interface)) {
      *out = static_cast<ISequentialStream*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }
  HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size,
                                 ULONG* read) override {
    const std::size_t left = text_.size() - position_;
    const ULONG piece = left < size ? static_cast<ULONG>(left) : size;
    std::memcpy(buffer, text_.data() + position_, piece);
    position_ += piece;
    if (read != nullptr) *read = piece;
    return piece < size ? S_FALSE : S_OK;
  }
  HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override {
    return STG_E_ACCESSDENIED;
  }

 private:
  std::string_view text_;
  std::size_t position_ = 0;
  ULONG references_ = 1;
};

template <class T>
struct released {
  T* p = nullptr;
  ~released() {
    if (p != nullptr) p->Release();
  }
};

std::string utf_8(const WCHAR* text, UINT length) {
  std::string out;
  if (length == 0) return out;
  const int size = WideCharToMultiByte(
      CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  out.resize(static_cast<std::size_t>(size));
  (void)WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length),
                            out.data(), size, nullptr, nullptr);
  return out;
}

HMODULE xml_library() {
  static const HMODULE library =
      LoadLibraryExW(L"xmllite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  return library;
}

// A function of the library, by its name; null without the library.
template <class function>
function function_of(HMODULE library, const char* name) {
  if (library == nullptr) return nullptr;
  // Through a function type without parameters: GetProcAddress's FARPROC
  // stands for any function.
  return reinterpret_cast<function>(
      reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

std::size_t line_of(IXmlReader* reader) {
  UINT line = 0;
  (void)reader->GetLineNumber(&line);
  return line;
}

}  // namespace

bool property_lists_readable() { return xml_library() != nullptr; }

bool read_property_list(std::string_view text, property_list& out,
                        line_problem& problem) {
  const HMODULE library = xml_library();
  const auto create_reader =
      function_of<create_reader_function>(library, "CreateXmlReader");
  const auto create_input = function_of<create_input_function>(
      library, "CreateXmlReaderInputWithEncodingName");
  if (create_reader == nullptr || create_input == nullptr) {
    problem.line_number = 0;
    problem.message =
        "property lists need xmllite.dll, which this Windows "
        "does not have";
    return false;
  }
  released<IXmlReader> reader;
  if (FAILED(create_reader(reader_interface,
                           reinterpret_cast<void**>(&reader.p), nullptr))) {
    throw std::bad_alloc();
  }
  text_stream stream(text);
  released<IXmlReaderInput> input;
  // UTF-8 whatever the XML declaration says: the text has been decoded.
  // No external entity or DTD is ever loaded (no resolver), and deeper
  // nesting than the shape's stops the reader; the limit on expanding
  // entities is a second guard where XmlLite has it (Wine's has not), the
  // first being the refusal of any declared entity below.
  (void)reader.p->SetProperty(XmlReaderProperty_MaxEntityExpansion, 1);
  if (FAILED(
          create_input(&stream, nullptr, L"utf-8", FALSE, nullptr, &input.p)) ||
      FAILED(reader.p->SetProperty(XmlReaderProperty_DtdProcessing,
                                   DtdProcessing_Parse)) ||
      FAILED(reader.p->SetProperty(XmlReaderProperty_XmlResolver, 0)) ||
      FAILED(reader.p->SetProperty(XmlReaderProperty_MaxElementDepth, 8)) ||
      FAILED(reader.p->SetInput(input.p))) {
    throw std::bad_alloc();
  }
  property_list_shape shape(out);
  XmlNodeType type = XmlNodeType_None;
  HRESULT status = S_OK;
  while ((status = reader.p->Read(&type)) == S_OK) {
    // Wine's XmlLite, at the end of a document cut short, reports no node
    // again and again rather than an error; the shape then says what is
    // missing.
    if (type == XmlNodeType_None) break;
    const WCHAR* value = nullptr;
    UINT length = 0;
    const std::size_t line = line_of(reader.p);
    bool ok = true;
    switch (type) {
      case XmlNodeType_Element: {
        (void)reader.p->GetLocalName(&value, &length);
        const std::string name = utf_8(value, length);
        ok = shape.start_element(name, line) &&
             (!reader.p->IsEmptyElement() || shape.end_element(name, line));
        break;
      }
      case XmlNodeType_EndElement:
        (void)reader.p->GetLocalName(&value, &length);
        ok = shape.end_element(utf_8(value, length), line);
        break;
      case XmlNodeType_Text:
      case XmlNodeType_CDATA:
      case XmlNodeType_Whitespace:
        (void)reader.p->GetValue(&value, &length);
        ok = shape.text(utf_8(value, length), line);
        break;
      default: break;
    }
    if (!ok) {
      problem = shape.problem();
      return false;
    }
  }
  if (FAILED(status)) {
    problem.line_number = line_of(reader.p);
    char code[16];
    (void)std::snprintf(code, sizeof code, "0x%08lX",
                        static_cast<unsigned long>(status));
    problem.message = std::string("not well-formed XML: XmlLite error ") + code;
    return false;
  }
  if (!shape.finish(line_of(reader.p))) {
    problem = shape.problem();
    return false;
  }
  return true;
}

}  // namespace brenlow
