#include "run/run_conversion.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/byte_facts.h"
#include "base/output_stream.h"
#include "conversion/convert_text.h"
#include "dictionary/cdb_writer.h"
#include "dictionary/merge_dictionary.h"
#include "dictionary/reading_table.h"
#include "dictionary/recode_table.h"
#include "dictionary/skk_writer.h"
#include "encodings/text_encoding.h"
#include "run/command_line.h"
#include "run/exit_status.h"
#include "run/messages.h"
#include "run/output_file.h"
#include "run/phase_timer.h"
#include "run/platform.h"
#include "run/program_presets.h"
#include "run/read_input.h"
#include "skk_dictionary/cdb_text.h"
#include "skk_dictionary/skk_dictionary.h"

namespace brenlow {

namespace {

int finish_standard_output(output_stream& stream) {
  const int error = finish_output(stream);
  // The reader chose to stop reading (brenlow x.txt | head): nothing went
  // wrong that a message could help with.
  if (reader_gone(error)) return exit_reader_gone;
  if (error != 0) {
    report(std::string("cannot write to standard output: ") +
           std::strerror(error));
    return exit_failure;
  }
  return exit_success;
}

void write_lines(output_stream& stream, const char* const* lines,
                 std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    write_bytes(stream, lines[i]);
    end_line(stream);
  }
}

int print_usage(bool with_options) {
  output_stream stream = make_output_stream(stdout, line_end::crlf);
  write_lines(stream, usage_lines, 3);
  if (with_options) {
    for (const std::string& line : option_help_lines()) {
      write_bytes(stream, line);
      end_line(stream);
    }
  }
  return finish_standard_output(stream);
}

int print_version() {
  output_stream stream = make_output_stream(stdout, line_end::crlf);
  write_lines(stream, usage_lines, 1);
  return finish_standard_output(stream);
}

int print_preset_help() {
  output_stream stream = make_output_stream(stdout, line_end::crlf);
  for (const std::string& line : preset_help_lines()) {
    write_bytes(stream, line);
    end_line(stream);
  }
  return finish_standard_output(stream);
}

int command_line_error(const std::string& message) {
  report(message);
  // The usage text ends its lines as it does on standard output.
  std::string usage;
  for (const char* line : usage_lines) usage += std::string(line) + "\r\n";
  write_error_text(usage);
  return exit_command_line_error;
}

// Reads the whole input into text; reports and returns false on failure.
bool read_input(const run_options& options, const std::string& shown_name,
                input_text& text) {
  std::FILE* file = stdin;
  if (options.input_name != "-") {
    file = open_input_file(options.input_name);
    if (file == nullptr) {
      report("cannot open '" + shown_name + "': " + std::strerror(errno));
      return false;
    }
  }
  const int error = text.read(file, options.encoding, shown_name);
  // Closing a file only read cannot lose data; the read was checked.
  if (file != stdin) (void)std::fclose(file);
  if (error != 0) {
    report("cannot read '" + shown_name + "': " + std::strerror(error));
    return false;
  }
  return true;
}

// The dictionary --merge adds the words to, read and recoded into the
// output's encoding, and the order its entries are kept in.
struct merge_plan {
  // The file's bytes, or the text of a CDB file, which the dictionary's
  // lines view.
  text_buffer bytes;
  std::string text;
  skk_dictionary dictionary;
  output_encoding own_encoding = output_encoding::utf_8;  // before recoding
  sort_order order = sort_order::input;
  merge_counts counts;
};

// Writes the dictionary as a plain conversion does, or with plan's words
// merged into it; the stream is left to its caller to finish.
void write_text(output_stream& stream, reading_table& table,
                const skk_layout& layout, reading_table* okuri_ari,
                merge_plan* plan, std::vector<long_line>& long_lines) {
  if (plan != nullptr) {
    plan->counts =
        write_merged_dictionary(plan->dictionary, table, okuri_ari, plan->order,
                                layout.encoding, stream, layout.longest_line);
  } else {
    long_lines = write_skk_dictionary(table, stream, layout, okuri_ari);
  }
}

int write_to_file(const run_options& options, reading_table& table,
                  const skk_layout& layout, reading_table* okuri_ari,
                  merge_plan* plan, std::vector<long_line>& long_lines) {
  replacement_file replacement;
  int error = open_replacement(options.output_name, replacement);
  if (error != 0) {
    report((replacement.in_place ? "cannot open '"
                                 : "cannot create a file beside '") +
           options.output_name + "': " + std::strerror(error));
    return exit_failure;
  }
  if (options.cdb && replacement.in_place) {
    // The format's header is written last, at the file's start.
    abandon_replacement(replacement);
    report("cannot write a CDB file to '" + options.output_name +
           "': it is not a regular file");
    return exit_failure;
  }
  try {
    if (options.cdb) {
      std::vector<cut_value> cut;
      error = write_cdb_dictionary(table, okuri_ari, fileno(replacement.file),
                                   options.longest_value, cut);
      for (const cut_value& value : cut) {
        // A line number of 0 tells a key left out whole.
        long_lines.push_back(
            {value.key, value.whole ? 0u : 1u, 0, value.words_left_out});
      }
    } else {
      // The stream's buffer too may be more than memory has left.
      output_stream stream =
          make_output_stream(replacement.file, options.eol,
                             layout.encoding == output_encoding::utf_16le);
      write_text(stream, table, layout, okuri_ari, plan, long_lines);
      error = finish_output(stream);
    }
  } catch (...) {
    abandon_replacement(replacement);  // no half-written file left behind
    throw;
  }
  if (error != 0) {
    abandon_replacement(replacement);
  } else {
    error = commit_replacement(replacement);
  }
  if (error != 0) {
    // A file written in place has no earlier version left to keep.
    report("cannot write '" + options.output_name +
           "': " + std::strerror(error) +
           (replacement.in_place ? "" : "; it is left as it was"));
    return exit_failure;
  }
  return exit_success;
}

// Writes the dictionary; long_lines gets its lines of Emacs SKK's long
// line length or more.
int write_dictionary(const run_options& options, reading_table& table,
                     const skk_layout& layout, reading_table* okuri_ari,
                     merge_plan* plan, std::vector<long_line>& long_lines) {
  if (options.has_output) {
    return write_to_file(options, table, layout, okuri_ari, plan, long_lines);
  }
  output_stream stream = make_output_stream(
      stdout, options.eol, layout.encoding == output_encoding::utf_16le);
  write_text(stream, table, layout, okuri_ari, plan, long_lines);
  return finish_standard_output(stream);
}

// Reads the whole of a dictionary named on the command line (NUL bytes
// kept: it may be a CDB file); reports and returns false on failure.
bool read_dictionary_file(const std::string& name, text_buffer& bytes) {
  std::FILE* file = open_input_file(name);
  if (file == nullptr) {
    report("cannot open '" + name + "': " + std::strerror(errno));
    return false;
  }
  const int error = read_whole_file(file, encoding_choice::utf_16le, bytes);
  (void)std::fclose(file);
  if (error != 0) {
    report("cannot read '" + name + "': " + std::strerror(error));
    return false;
  }
  return true;
}

// Reads the SKK dictionary name into dictionary (its lines viewing bytes,
// or text for a CDB file), naming its malformed lines; reports and returns
// false when it cannot be read, with advice where its encoding cannot be
// told.
bool read_skk_file(const std::string& name, const dictionary_reading& how,
                   const char* advice, text_buffer& bytes, std::string& text,
                   skk_dictionary& dictionary) {
  if (!read_dictionary_file(name, bytes)) return false;
  std::string_view view(bytes.data(), bytes.size());
  if (looks_like_cdb(view)) {
    std::FILE* file = open_input_file(name);
    const int error =
        file == nullptr ? errno : cdb_dictionary_text(fileno(file), text);
    if (file != nullptr) (void)std::fclose(file);
    if (error == ENOSYS) {
      report(name +
             ": a CDB file, and this Windows program reads none (it "
             "has no CDB library): give the text dictionary");
      return false;
    }
    if (error != 0) {
      report(name + ": holds NUL bytes and is no CDB file tinycdb reads (" +
             std::strerror(error) + ")");
      return false;
    }
    text_buffer().swap(bytes);
    view = text;
  }
  std::vector<line_problem> warnings;
  line_problem problem;
  const bool read =
      read_skk_dictionary(view, how, dictionary, warnings, problem);
  message_batch batch;
  for (const line_problem& warning : warnings) {
    batch.add(message_at(name, warning));
  }
  batch.flush();
  if (!read) {
    line_problem shown = problem;
    if (dictionary.encoding_untold) shown.message += advice;
    report_at(name, shown);
  }
  return read;
}

// The encoding a merged dictionary is written in: --to's, else the
// dictionary's own where the program of --for reads it, else the
// program's; or, for a dictionary of ASCII alone, what a plain conversion
// writes. Sets known to false for the input's own.
output_encoding merged_encoding(const run_options& options,
                                const skk_dictionary& dictionary, bool& known) {
  known = true;
  if (options.to_given) return options.to;
  if (dictionary.encoding_known) {
    const unsigned bit = 1u << static_cast<unsigned>(dictionary.encoding);
    if (options.preset == nullptr || (options.preset->readable & bit) != 0) {
      return dictionary.encoding;
    }
  }
  known = options.has_to;
  return options.to;
}

// Leaves out of the tables the words each dictionary of --exclude has,
// one dictionary at a time; reports and returns false when one cannot be
// read.
bool exclude_dictionaries(const run_options& options, output_encoding encoding,
                          reading_table& table, reading_table* okuri_ari) {
  for (const std::string& name : options.exclude_names) {
    text_buffer bytes;
    std::string text;
    skk_dictionary dictionary;
    if (!read_skk_file(name, dictionary_reading{},
                       ": give it a coding line (;; -*- coding: euc-jp -*-, "
                       "or the encoding it is in) or write it in UTF-8",
                       bytes, text, dictionary)) {
      return false;
    }
    const output_encoding own = dictionary.encoding;
    std::vector<line_problem> warnings;
    recode_dictionary(dictionary, encoding, warnings);
    // Its words the output cannot write are no words of the output's.
    reading_table held;
    add_held_words(dictionary, encoding, held);
    std::size_t left_out = exclude_held_words(table, held, encoding);
    if (okuri_ari != nullptr) {
      left_out += exclude_held_words(*okuri_ari, held, encoding);
    }
    if (options.verbose) {
      report(name + ": " + std::to_string(left_out) +
             " words left out that it has (" + output_encoding_title(own) +
             ", " + std::to_string(held.entries.size()) + " readings)");
    }
  }
  return true;
}

void report_summary(const std::string& shown_name,
                    const conversion_result& result, const reading_table& table,
                    const reading_table* okuri_ari,
                    const std::string& written) {
  const prepared_input& input = result.input;
  const conversion_counts& counts = result.counts;
  std::string format = format_description(result.format);
  format += result.format == result.looks_like.format
                ? std::string(" (") + result.looks_like.why + ")"
                : std::string(" (--format)");
  std::string reasons;
  for (std::size_t i = 0; i < skip_reason_count; ++i) {
    if (counts.skipped_by_reason[i] == 0) continue;
    reasons += (reasons.empty() ? " (" : ", ") +
               std::to_string(counts.skipped_by_reason[i]) + " " +
               skip_message(static_cast<skip_reason>(i));
  }
  if (!reasons.empty()) reasons += ")";
  report(shown_name + ": " + encoding_name(input.encoding) + " (" +
         input.reason + "), " + format + written + "; " +
         std::to_string(counts.lines) +
         (result.format == input_format::property_list ? " entries read, "
                                                       : " lines read, ") +
         std::to_string(counts.comment_or_empty_lines) + " comment or empty, " +
         std::to_string(counts.filed_lines) + " entries filed under " +
         std::to_string(table.entries.size()) + " readings, " +
         std::to_string(counts.skipped_lines) + " skipped" + reasons + "; " +
         (counts.bang_entry_lines == 0
              ? std::string()
              : std::to_string(counts.bang_entry_lines) +
                    " lines starting with ! read as entries (no ! header); ") +
         std::to_string(counts.readings_typed) +
         " readings changed to their typed form, " +
         std::to_string(counts.annotations) + " annotations written, " +
         (counts.annotations_left_out == 0
              ? std::string()
              : std::to_string(counts.annotations_left_out) +
                    " annotations left out, ") +
         std::to_string(counts.repeats_written_once) +
         " repeated words written once" +
         (okuri_ari == nullptr ? std::string()
          : result.format == input_format::property_list
              ? "; no okuri-ari keys: a property list has no part of speech"
              : "; " + std::to_string(okuri_ari->entries.size()) +
                    " okuri-ari keys written, " +
                    std::to_string(counts.lines_without_okuri_ari) +
                    " verb or adjective lines without a key"));
}

// One line for the whole run, however many readings: the count and the
// first line of each reason.
void report_untypable(const std::string& shown_name,
                      const conversion_counts& counts) {
  std::string reasons;
  for (std::size_t i = 0; i < untypable_reason_count; ++i) {
    if (counts.untypable_by_reason[i] == 0) continue;
    reasons += (reasons.empty() ? "" : "; ") +
               std::to_string(counts.untypable_by_reason[i]) + " " +
               untypable_message(static_cast<untypable_reason>(i)) +
               " (first at line " +
               std::to_string(counts.first_untypable_line[i]) + ")";
  }
  if (reasons.empty()) return;
  report(shown_name +
         ": readings no key sequence gives in Emacs SKK or libskk, filed as "
         "they are: " +
         reasons);
}

constexpr const char* zip_archive_advice =
    "this is a ZIP archive (Gboard exports its dictionary so): unzip it and "
    "convert the dictionary.txt inside";

// When --format named another format than the text looks like, "; it
// looks like CSV (...): try --format csv"; else nothing.
std::string other_format_advice(const conversion_result& result) {
  if (result.looks_like.format == result.format) return "";
  return std::string("; it looks like ") +
         format_description(result.looks_like.format) + " (" +
         result.looks_like.why + "): try --format " +
         format_name(result.looks_like.format);
}

// "no entry filed: 500 of 500 lines skipped (500 no TAB after the
// reading)", the most frequent reason named, and, when the text looks like
// another format than the one --format named, that format.
std::string nothing_filed_message(const conversion_counts& counts,
                                  const conversion_result& result) {
  std::size_t most = 0;
  for (std::size_t i = 1; i < skip_reason_count; ++i) {
    if (counts.skipped_by_reason[i] > counts.skipped_by_reason[most]) most = i;
  }
  std::string message =
      "no entry filed: " + std::to_string(counts.skipped_lines) + " of " +
      std::to_string(counts.lines) + " lines skipped (" +
      std::to_string(counts.skipped_by_reason[most]) + " " +
      skip_message(static_cast<skip_reason>(most)) + ")";
  return message + other_format_advice(result);
}

// One warning for every line that started with a byte-order mark: they
// come where files were joined, one at the start of each after the first.
void report_marks(const std::string& shown_name,
                  const conversion_counts& counts) {
  if (counts.lines_with_mark == 0) return;
  report_at(shown_name,
            line_problem{counts.first_line_with_mark,
                         "byte-order mark inside the text (files joined?) "
                         "dropped at the start of " +
                             (counts.lines_with_mark == 1
                                  ? std::string("this line")
                                  : std::to_string(counts.lines_with_mark) +
                                        " lines, this the first")});
}

// Says how the written file is registered in the program of --for, and
// what its name is missing there.
void report_registration(const run_options& options, const skk_layout& layout) {
  written_file file;
  file.path = options.has_output ? absolute_path(options.output_name) : "";
  file.encoding = layout.encoding;
  file.cdb = options.cdb;
  const char* home = std::getenv("HOME");
  file.home = home != nullptr ? home : "~";
  const char* config_home = std::getenv("XDG_CONFIG_HOME");
  file.config_home = config_home != nullptr && *config_home != '\0'
                         ? config_home
                         : file.home + "/.config";
  const std::string warning = name_warning(*options.preset, file);
  if (!warning.empty()) report(warning);
  const std::vector<std::string> lines = registration(*options.preset, file);
  report(lines.front());
  std::string setting;
  for (std::size_t i = 1; i < lines.size(); ++i) setting += lines[i] + "\n";
  write_error_text(setting);
}

// The output's layout, from the options and the input's encoding (the
// output is written in the input's).
skk_layout layout_for(const run_options& options, text_encoding input) {
  skk_layout layout;
  layout.encoding = options.has_to ? options.to : same_as(input);
  layout.order = options.sort;
  layout.comment_line_first =
      options.sort != sort_order::input || options.okuri_ari;
  layout.longest_line = options.longest_line;
  return layout;
}

// Reads, converts and writes the named dictionary; the exit status. Each
// phase that ends is marked on timer.
int convert_file(const run_options& given_options,
                 const std::string& shown_name, phase_timer& timer) {
  run_options options = given_options;
  // The dictionary to merge into is read first: the output's encoding is
  // its own, which decides which words can be filed.
  merge_plan plan;
  if (options.has_merge) {
    dictionary_reading how;
    how.encoding_given = options.merge_encoding_given;
    how.encoding = options.merge_encoding;
    if (!read_skk_file(options.merge_name, how,
                       ": give its encoding with --merge-encoding", plan.bytes,
                       plan.text, plan.dictionary)) {
      return exit_failure;
    }
    bool merge_target_known = false;
    const output_encoding merge_target =
        merged_encoding(options, plan.dictionary, merge_target_known);
    if (merge_target_known) {
      options.has_to = true;
      options.to = merge_target;
    }
    if (!options.eol_given && options.preset == nullptr) {
      options.eol = plan.dictionary.crlf ? line_end::crlf : line_end::lf;
    }
  }
  // The tables copy what they file; a mapped input's pages go back as its
  // lines are filed (done_with), and the rest with raw.
  input_text raw;
  if (!read_input(options, shown_name, raw)) return exit_failure;
  timer.mark("read");
  // Skipped lines are named as they are found, so that none of them waits
  // in memory.
  message_batch warnings;
  conversion_request request;
  request.raw = raw.bytes();
  request.encoding = options.encoding;
  request.rules = options.rules;
  request.rules.has_target = options.has_to;
  request.rules.target = options.to;
  request.okuri_ari = options.okuri_ari;
  request.format_forced = options.format_forced;
  request.format = options.format;
  request.skipped = [&](const line_problem& line) {
    warnings.add(message_at(shown_name, line));
  };
  // Decoded UTF-16 is all the conversion needs: the raw bytes go before
  // the tables grow.
  request.release_raw = [&raw] { raw.release(); };
  // The tables keep copies of what they file: the lines read can go.
  request.done_with = [&raw](const char* end) { raw.done_with(end); };
  request.phases = timer.marker();
  conversion_result result;
  const bool converted = convert_text(request, result);
  // A file cut short while mapped shows zeros at the end of its last page
  // (a touch past it ends the program, see map_file): what was converted
  // is not the file.
  if (raw.cut_short()) {
    warnings.flush();
    report(shown_name + ": the file was truncated while it was read");
    return exit_failure;
  }
  if (!converted) {
    warnings.flush();
    if (result.zip_archive) {
      report(shown_name + ": " + zip_archive_advice);
    } else {
      line_problem problem = result.problem;
      problem.message += other_format_advice(result);
      report_at(shown_name, problem);
    }
    return exit_failure;
  }
  warnings.flush();
  report_marks(shown_name, result.counts);
  const conversion_counts& counts = result.counts;
  report_untypable(shown_name, counts);
  reading_table& table = result.tables.okuri_nasi;
  reading_table* okuri_ari =
      options.okuri_ari ? &result.tables.okuri_ari : nullptr;
  skk_layout layout = layout_for(options, result.input.encoding);
  layout.phases = timer.marker();
  if (options.verbose) {
    // The output's encoding is named where it is not the input's.
    const std::string written =
        layout.encoding == same_as(result.input.encoding)
            ? ""
            : std::string(", written as ") +
                  output_encoding_title(layout.encoding);
    report_summary(shown_name, result, table, okuri_ari, written);
  }
  if (options.strict && counts.skipped_lines != 0) {
    report(shown_name + ": " + std::to_string(counts.skipped_lines) +
           " line(s) could not be converted; nothing written (--strict)");
    return exit_failure;
  }
  // Lines were read and none was filed: an empty dictionary would hide
  // that the input is not what it was taken for. (A text of comments and
  // empty lines alone gives an empty dictionary.)
  if (counts.filed_lines == 0 && counts.skipped_lines != 0) {
    report(shown_name + ": " + nothing_filed_message(counts, result));
    return exit_failure;
  }
  // The sort orders compare the bytes as they are written.
  if (!result.tables.okuri_nasi_recoded) {
    recode_table(table, result.input.encoding, layout.encoding);
  }
  if (okuri_ari != nullptr) {
    recode_table(*okuri_ari, result.input.encoding, layout.encoding);
  }
  timer.mark("recode");
  if (!exclude_dictionaries(options, layout.encoding, table, okuri_ari)) {
    return exit_failure;
  }
  if (!options.exclude_names.empty()) timer.mark("exclude");
  // No reading is looked up from here on (a merge indexes its own): the
  // index's memory goes before the writing takes its own.
  drop_index(table);
  if (okuri_ari != nullptr) drop_index(*okuri_ari);
  // A dictionary merged into in place is the one the program reads
  // already.
  const bool in_place =
      options.has_merge && options.has_output &&
      absolute_path(options.output_name) == absolute_path(options.merge_name);
  if (options.has_merge) {
    plan.own_encoding = plan.dictionary.encoding;
    std::vector<line_problem> left_out;
    recode_dictionary(plan.dictionary, layout.encoding, left_out);
    message_batch batch;
    for (const line_problem& line : left_out) {
      batch.add(message_at(options.merge_name, line));
    }
    batch.flush();
    // A dictionary sorted in both orders is kept in the one its program
    // searches: --for's, else Emacs SKK's.
    const bool program_order =
        options.preset != nullptr && options.preset->order != sort_order::input;
    const sort_order preferred =
        program_order ? options.preset->order : sort_order::skk;
    plan.order = options.sort_given
                     ? options.sort
                     : order_kept(plan.dictionary, layout.encoding, preferred);
    // In UTF-8 the two orders part often (symbols and kana, half-width
    // kana): a dictionary in both is named, as the choice may be wrong.
    const bool utf = layout.encoding == output_encoding::utf_8 ||
                     layout.encoding == output_encoding::utf_16le;
    if (utf && !options.sort_given && !program_order &&
        plan.order == sort_order::skk &&
        order_kept(plan.dictionary, layout.encoding, sort_order::bytes) ==
            sort_order::bytes &&
        !stays_in_both_orders(plan.dictionary, table, okuri_ari,
                              sort_order::skk, sort_order::bytes,
                              layout.encoding)) {
      report(options.merge_name +
             ": in Emacs SKK's order and in byte order alike; new readings "
             "are placed in Emacs SKK's, which libskk's binary search does "
             "not follow: for libskk, give --sort=bytes (or --for libskk)");
    }
    const std::size_t out_of_order =
        first_line_out_of_order(plan.dictionary, plan.order, layout.encoding);
    if (out_of_order != 0) {
      report_at(
          options.merge_name,
          line_problem{out_of_order,
                       std::string("not in the order --sort names (") +
                           (plan.order == sort_order::skk ? "skk" : "bytes") +
                           "); new readings are placed where that "
                           "order puts them among its lines"});
    }
    const sort_order searched =
        options.preset != nullptr ? options.preset->order : sort_order::input;
    if (!in_place && !options.sort_given && searched != sort_order::input &&
        plan.order != searched) {
      report(options.merge_name + ": not in the order " +
             options.preset->title +
             " searches a dictionary in, and the merge keeps its order: " +
             options.preset->title +
             " finds every word of the result only as its personal (user) "
             "dictionary; to register it as below, give --sort" +
             (searched == sort_order::bytes ? "=bytes" : "") +
             " to a dictionary in that order");
    }
    // libskk sees a section marker only after a line feed, so a
    // dictionary registered anew must not start with one (a personal
    // dictionary Emacs SKK wrote does).
    if (options.preset != nullptr && !in_place &&
        !plan.dictionary.lines.empty()) {
      const dictionary_line_kind first = plan.dictionary.lines.front().kind;
      if (first == dictionary_line_kind::okuri_ari_marker ||
          first == dictionary_line_kind::okuri_nasi_marker) {
        dictionary_line comment;
        comment.text = ";; SKK dictionary";
        plan.dictionary.lines.insert(plan.dictionary.lines.begin(), comment);
        if (plan.dictionary.coding_line != std::string_view::npos) {
          ++plan.dictionary.coding_line;
        }
      }
    }
  }
  if (options.has_merge) timer.mark("merge setup");
  std::vector<long_line> long_lines;
  const int status =
      write_dictionary(options, table, layout, okuri_ari,
                       options.has_merge ? &plan : nullptr, long_lines);
  timer.mark("write");
  if (status != exit_success) return status;
  if (options.has_merge) {
    // The program's line limit: the merge keeps every word of a line (a
    // word of the user's own dictionary is not left out), so the line is
    // named instead.
    for (const auto& [reading, bytes] : plan.counts.long_lines) {
      report(
          options.merge_name + ": the line of reading '" +
          shown_reading(reading, layout.encoding) + "' has " +
          std::to_string(bytes) + " bytes, more than " +
          (options.preset != nullptr ? options.preset->title : "the program") +
          " takes (" + std::to_string(options.longest_line) +
          "): it is written whole; leave words out of it by hand");
    }
  }
  if (options.has_merge && options.verbose) {
    const merge_counts& merged = plan.counts;
    report(options.merge_name + ": " +
           (plan.dictionary.encoding_known
                ? output_encoding_title(plan.own_encoding)
                : "ASCII only") +
           (plan.dictionary.encoding_reason.empty()
                ? std::string()
                : " (" + plan.dictionary.encoding_reason + ")") +
           ", entries kept " +
           (plan.order == sort_order::input ? std::string("in their order")
            : plan.order == sort_order::skk ? std::string("in skk order")
                                            : std::string("in byte order")) +
           "; " + std::to_string(merged.words_added) + " words added (" +
           std::to_string(merged.readings_added) + " new readings), " +
           std::to_string(merged.words_present) + " already there, " +
           std::to_string(merged.annotations_added) + " annotations added" +
           (merged.words_added == 0 && merged.annotations_added == 0
                ? std::string("; it is written as it was")
                : std::string()));
  }
  // A dictionary merged into in place is the one the program reads
  // already: it needs no registration.
  if (options.preset != nullptr && !in_place) {
    report_registration(options, layout);
  } else if (options.preset != nullptr) {
    report(options.merge_name + ": words merged in place; " +
           options.preset->title +
           " reads it where it did, once it is started again");
  }
  for (const long_line& line : long_lines) {
    if (line.words_left_out != 0) {
      report(shown_name + ": the reading '" +
             shown_reading(line.reading, layout.encoding) + "' has more " +
             "words than " + options.preset->title + " takes in one " +
             (options.cdb ? "value (" + std::to_string(options.longest_value)
                          : "line (" + std::to_string(options.longest_line)) +
             " bytes): " +
             (line.line_number == 0
                  ? "it is left out, with its " +
                        std::to_string(line.words_left_out) + " word(s)"
                  : "its last " + std::to_string(line.words_left_out) +
                        " word(s) are left out"));
      continue;
    }
    report(shown_name + ": the line of reading '" +
           shown_reading(line.reading, layout.encoding) + "' (output line " +
           std::to_string(line.line_number) + ") has " +
           std::to_string(line.characters) +
           " characters; Emacs SKK's binary search cannot pass lines of " +
           std::to_string(emacs_skk_long_line) +
           " or more: have it search this dictionary linearly (see README)");
  }
  return status;
}

void warn_about_ignored(const run_options& options) {
  std::string ignored;
  bool looks_like_option = false;
  for (const std::string& argument : options.ignored) {
    looks_like_option |= argument.size() > 1 && argument[0] == '-';
    ignored += " " + argument;
  }
  if (looks_like_option) {
    report("arguments after the file name are ignored:" + ignored);
  }
}

}  // namespace

int run_conversion(int argc, char** argv) {
  if (argc < 2) return print_usage(false);
  run_options options;
  std::string error;
  if (!parse_command_line(argc, argv, options, error)) {
    return command_line_error(error);
  }
  if (options.help) return print_usage(true);
  if (options.preset_help) return print_preset_help();
  if (options.version) return print_version();
  if (!options.has_input) return command_line_error("no dictionary file named");
  if (options.cdb && !cdb_writable()) {
    report(
        "this Windows program writes no CDB files (it has no CDB "
        "library): write the text dictionary, or use the Linux build");
    return exit_failure;
  }
  if (options.cdb && options.has_merge) {
    return command_line_error(
        "--merge writes a text dictionary, not a CDB file: merge, then make "
        "the CDB file of the result");
  }
  if (options.cdb && !options.has_output) {
    return command_line_error(
        "a CDB file needs -o FILE: its header is written last, at its start");
  }
  warn_about_ignored(options);
  const std::string shown_name =
      options.input_name == "-" ? "standard input" : options.input_name;
  try {
    phase_timer timer;
    const int status = convert_file(options, shown_name, timer);
    if (timer.on()) report(timer.summary());
    return status;
  } catch (const std::bad_alloc&) {
    // Unwinding has freed the input and the table, which leaves room for
    // the message.
    report(shown_name + ": out of memory");
    return exit_failure;
  }
}

}  // namespace brenlow
