#include "guard/report_text.h"

#include <algorithm>
#include <string_view>

#include "runtime/datetime.h"

namespace guard {
namespace {

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

// A value as a report shows it: texts in quotes where `quoteTexts` is set.
std::string valueText(const DumpValue& value, bool quoteTexts) {
  if (const auto* v = std::get_if<int16_t>(&value)) return std::to_string(*v);
  if (const auto* v = std::get_if<int32_t>(&value)) return std::to_string(*v);
  if (const auto* v = std::get_if<std::string>(&value)) return quoteTexts ? quoted(*v) : *v;
  if (const auto* v = std::get_if<bool>(&value)) return *v ? "True" : "False";
  if (const auto* v = std::get_if<rt::DateTime>(&value)) return rt::dateTimeText(*v);
  if (const auto* v = std::get_if<std::vector<std::string>>(&value)) {
    std::string out = "(";
    for (std::size_t i = 0; i < v->size(); ++i) out += (i ? ", " : "") + quoted((*v)[i]);
    return out + ")";
  }
  return objectTypeName(std::get<ObjectRef>(value));
}

const char* typeOf(const DumpValue& value) {
  static const char* const names[] = {"Integer", "Long", "String", "Boolean", "Date", "String()", "Object"};
  return names[value.index()];
}

std::string trimmed(std::string text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string reportTitle(const Report& report) { return report.appTitle + " - Error"; }

std::vector<std::pair<std::string, std::string>> particulars(const Report& report) {
  std::vector<std::pair<std::string, std::string>> rows;
  const auto& description = report.description;
  for (std::size_t i = 0; i < description.size(); i += 2) {
    const auto& label = description[i];
    rows.emplace_back(
        std::holds_alternative<std::string>(label) ? trimmed(std::get<std::string>(label)) : valueText(label, false),
        i + 1 < description.size() ? valueText(description[i + 1], false) : std::string());
  }
  rows.emplace_back("Program", report.appPath);
  // The author's name comes twice in the user data; it is shown once.
  const auto& userData = report.userData;
  std::string contact;
  for (auto it = userData.begin(); it != userData.end(); ++it)
    if (!it->empty() && std::find(userData.begin(), it, *it) == it) contact += (contact.empty() ? "" : ", ") + *it;
  rows.emplace_back("Contact", contact);
  return rows;
}

std::vector<std::string> variableLines(const Slots& dumps) {
  const std::pair<const char*, const VariableDump*> sections[] = {{"Parameters", &dumps.GuardParams},
                                                                  {"Local variables", &dumps.GuardLocals},
                                                                  {"Module variables", &dumps.GuardModuleVars},
                                                                  {"Global variables", &dumps.GuardGlobals}};
  std::vector<std::string> lines;
  for (const auto& [title, dump] : sections) {
    lines.emplace_back(title);
    // The marker list has no variable to show.
    const bool none = dump->empty() || *dump == marker();
    if (none) lines.emplace_back("\t(none)");
    for (std::size_t i = 0; !none && i < dump->size(); i += 2) {
      const auto& name = (*dump)[i];
      std::string line =
          "\t" + (std::holds_alternative<std::string>(name) ? std::get<std::string>(name) : valueText(name, true));
      if (i + 1 < dump->size())
        line += std::string("\t") + typeOf((*dump)[i + 1]) + "\t" + valueText((*dump)[i + 1], true);
      lines.push_back(std::move(line));
    }
  }
  return lines;
}

std::vector<std::string> reportLines(const Report& report) {
  std::vector<std::string> lines{reportTitle(report)};
  for (const auto& [label, value] : particulars(report)) lines.push_back(label + ": " + value);
  lines.emplace_back("Variables:");
  for (auto& line : variableLines(report.dumps)) lines.push_back(std::move(line));
  return lines;
}

// The names the program dumps are classes, alone ("14CSystemFolders") or in
// namespaces ("N2ui5LabelE"); any other form is shown as it stands. The
// library's demangler would be a sixth of the executable for this.
std::string objectTypeName(const ObjectRef& object) {
  if (!object.object) return "Nothing";
  std::string_view rest = object.typeName;
  const bool nested = rest.starts_with('N');
  if (nested) rest.remove_prefix(1);
  std::string name;
  do {
    std::size_t digits = 0, length = 0;
    while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9' && length <= rest.size())
      length = length * 10 + static_cast<std::size_t>(rest[digits++] - '0');
    if (digits == 0 || length == 0 || length > rest.size() - digits) return object.typeName;
    const std::string_view part = rest.substr(digits, length);
    if (!name.empty()) name += "::";
    name += part == "_GLOBAL__N_1" ? std::string_view("(anonymous namespace)") : part;
    rest.remove_prefix(digits + length);
  } while (nested && !rest.empty() && rest != "E");
  if (rest != (nested ? "E" : "")) return object.typeName;
  return name;
}

}  // namespace guard
