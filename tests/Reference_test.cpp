// The reference under docs/ documents every routine of the type library and
// every member of the engine's and the host's objects. (Its examples are
// built and run by the reference_* tests.)
#include <tarnwick/automation/String.h>
#include <tarnwick/frame/TypeLibrary.h>
#include <tarnwick/host/Control.h>

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace tarnwick {
namespace {

std::string read(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string page(const std::string& name) { return read(std::string(TARNWICK_DOCS_DIR) + "/" + name); }

struct Named {
  std::u16string name;
};

// The members of an object as its member table in the sources lists them
// (the tables are private to their layers): the rows of `Member<Type> k...[]`.
std::vector<Named> memberTable(const std::string& source, const std::string& type) {
  const std::string text = read(std::string(TARNWICK_SOURCE_DIR) + "/src/" + source);
  const auto start = text.find("const Member<" + type + "> k");
  EXPECT_NE(start, std::string::npos) << "no member table of " << type << " in " << source;
  if (start == std::string::npos) return {};
  const std::string table = text.substr(start, text.find("\n};", start) - start);
  std::vector<Named> members;
  const std::regex row("\\{u\"([A-Za-z_]+)\",");
  for (auto it = std::sregex_iterator(table.begin(), table.end(), row); it != std::sregex_iterator(); ++it)
    members.push_back({fromUtf8((*it)[1].str())});
  EXPECT_FALSE(members.empty()) << type;
  return members;
}

// The part of a page under "## heading", up to the next heading of that level.
std::string section(const std::string& text, const std::string& heading) {
  const auto start = text.find("\n## " + heading + "\n");
  if (start == std::string::npos) return {};
  const auto end = text.find("\n## ", start + 4);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// A member documented in a table: a row whose first cell names it in
// backticks, alone or among others ("| `EOF`, `BOF` |").
bool documentsMember(const std::string& text, std::u16string_view member) {
  const std::string name = toUtf8(member);
  const std::regex row("\n\\| ([^|]*`" + std::regex_replace(name, std::regex("_"), "\\_") + "`[^|]*)\\|");
  return std::regex_search(text, row);
}

template <typename Members>
void expectMembers(const std::string& text, const std::string& where, Members members) {
  ASSERT_FALSE(text.empty()) << "no section " << where;
  for (const auto& member : members)
    EXPECT_TRUE(documentsMember(text, member.name)) << where << " does not document " << toUtf8(member.name);
}

TEST(Reference, EveryRoutineOfTheTypeLibraryHasItsEntry) {
  const frame::TypeLibrary& library = frame::typeLibrary();
  ASSERT_EQ(library.classes.size(), 4u);
  for (const frame::ClassInfo& c : library.classes) {
    const std::string text = page(toUtf8(c.name) + ".md");
    ASSERT_FALSE(text.empty()) << "no page docs/" << toUtf8(c.name) << ".md";
    for (const frame::RoutineInfo& routine : c.interface.routines) {
      const std::string name = toUtf8(routine.name);
      const auto heading = text.find("\n### " + name + "\n");
      ASSERT_NE(heading, std::string::npos) << toUtf8(c.name) << ".md has no entry for " << name;
      // The entry: its signature, its text and a C++ example before the next entry.
      const auto next = text.find("\n### ", heading + 5);
      const std::string entry = text.substr(heading, next == std::string::npos ? std::string::npos : next - heading);
      EXPECT_NE(entry.find(" " + name + "("), std::string::npos) << name << ": no signature";
      for (const frame::ParamInfo& param : routine.params)
        EXPECT_NE(entry.find(toUtf8(param.name)), std::string::npos) << name << ": parameter " << toUtf8(param.name);
      EXPECT_NE(entry.find("```cpp\n"), std::string::npos) << name << ": no example";
    }
  }
}

TEST(Reference, EveryMemberOfTheEnginesObjects) {
  const std::string text = page("engine.md");
  for (const char* object : {"DBEngine", "Database", "Recordset", "Field", "TableDef", "Collection"})
    expectMembers(section(text, object), std::string("engine.md ") + object,
                  memberTable(std::string("engine/") + object + ".cpp", object));
  expectMembers(section(text, "Index"), "engine.md Index", memberTable("engine/TableDef.cpp", "Index"));
}

TEST(Reference, EveryMemberOfTheHostsObjects) {
  const std::string text = page("hosts.md");
  const std::string controls = section(text, "Control members");
  ASSERT_FALSE(controls.empty());
  for (const auto& [name, kinds] : host::Control::memberNames())
    EXPECT_TRUE(documentsMember(controls, name)) << "hosts.md does not document the control member " << toUtf8(name);
  expectMembers(section(text, "Forms"), "hosts.md Forms", memberTable("host/Form.cpp", "Form"));
  for (const char* type : {"ControlArray", "ControlCollection"})
    expectMembers(section(text, "Control arrays"), "hosts.md Control arrays", memberTable("host/ControlArray.cpp", type));
  for (const char* type : {"Columns", "Column", "SelBookmarks"})
    expectMembers(section(text, "Data grid columns"), "hosts.md Data grid columns", memberTable("host/Columns.cpp", type));
  for (const char* type : {"Tabs", "Tab"})
    expectMembers(section(text, "Tabs"), "hosts.md Tabs", memberTable("host/Tabs.cpp", type));
  expectMembers(section(text, "Host services"), "hosts.md Host services", memberTable("host/HostObject.cpp", "HostObject"));
}

}  // namespace
}  // namespace tarnwick
