#include "formats/property_list_shape.h"

namespace brenlow {

namespace {

bool blank(std::string_view data) {
  return data.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

}  // namespace

const char* property_list_shape::expected() const {
  switch (place_) {
    case place::document: return "expected <plist>";
    case place::plist: return "expected <array> inside <plist>";
    case place::array: return "expected <dict> inside <array>";
    case place::after_array: return "expected </plist> after </array>";
    case place::dict: return "expected <key> inside <dict>";
    case place::key: return "expected text inside <key>";
    case place::before_value: return "expected <string> after <key>";
    case place::value: return "expected text inside <string>";
    case place::after_plist: break;
  }
  return "expected nothing after </plist>";
}

bool property_list_shape::refuse(const line_source& where,
                                 const std::string& found) {
  problem_.line_number = where.line();
  problem_.message = std::string(expected()) + ", found " + found;
  return false;
}

bool property_list_shape::start_element(std::string_view name,
                                        const line_source& where) {
  const auto found = [&] { return "<" + std::string(name) + ">"; };
  switch (place_) {
    case place::document:
      if (name != "plist") return refuse(where, found());
      place_ = place::plist;
      return true;
    case place::plist:
      if (name != "array") return refuse(where, found());
      place_ = place::array;
      return true;
    case place::array:
      if (name != "dict") return refuse(where, found());
      place_ = place::dict;
      dict_line_ = where.line();
      has_reading_ = false;
      has_word_ = false;
      return true;
    case place::dict:
      if (name != "key") return refuse(where, found());
      place_ = place::key;
      text_.clear();
      return true;
    case place::before_value:
      if (name != "string") return refuse(where, found());
      place_ = place::value;
      text_.clear();
      return true;
    case place::after_array:
    case place::key:
    case place::value:
    case place::after_plist: break;
  }
  return refuse(where, found());
}

bool property_list_shape::end_element(std::string_view name,
                                      const line_source& where) {
  switch (place_) {
    case place::array: place_ = place::after_array; return true;
    case place::after_array: place_ = place::after_plist; return true;
    case place::key:
      value_field_ = text_ == "shortcut" ? field::reading
                     : text_ == "phrase" ? field::word
                                         : field::none;
      place_ = place::before_value;
      return true;
    case place::value:
      // A key given twice: the later string counts, as when the list is
      // read into a dictionary object.
      if (value_field_ == field::reading) {
        reading_.swap(text_);
        has_reading_ = true;
      } else if (value_field_ == field::word) {
        word_.swap(text_);
        has_word_ = true;
      }
      place_ = place::dict;
      return true;
    case place::dict: {
      property_list_entry entry;
      entry.line = dict_line_;
      if (!has_reading_ || !has_word_) {
        entry.read.kind = line_kind::skipped;
        entry.read.reason = skip_reason::missing_key;
      } else if (out_.sink) {
        entry.read.fields.reading = reading_;
        entry.read.fields.word = word_;
        entry.read.fields_in_buffer = true;
      } else {
        entry.read.fields.reading = out_.strings.emplace_back(reading_);
        entry.read.fields.word = out_.strings.emplace_back(word_);
        entry.read.fields_in_buffer = true;
      }
      if (out_.sink) {
        out_.sink(entry);
      } else {
        out_.entries.push_back(entry);
      }
      place_ = place::array;
      return true;
    }
    case place::document:
    case place::plist:
    case place::before_value:
    case place::after_plist: break;
  }
  return refuse(where, "</" + std::string(name) + ">");
}

bool property_list_shape::text(std::string_view data,
                               const line_source& where) {
  if (place_ == place::key ||
      (place_ == place::value && value_field_ != field::none)) {
    text_.append(data);
    return true;
  }
  if (place_ == place::value || blank(data)) return true;
  return refuse(where, "text");
}

bool property_list_shape::finish(const line_source& where) {
  if (place_ == place::after_plist) return true;
  return refuse(where, "the end of the document");
}

}  // namespace brenlow
