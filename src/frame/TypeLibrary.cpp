#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/frame/TypeLibrary.h>

#include <cstdio>

namespace tarnwick::frame {

namespace {

// One routine of the tables below: parameters are written "name type",
// separated by ";", with "optional" after the type where the caller may
// leave the parameter out.
struct RoutineRow {
  std::u16string_view name;
  DISPID id;
  ResultType result;
  std::u16string_view params;
};

using R = ResultType;

constexpr RoutineRow kDataAccessWrapper[] = {
    {u"SaveMergeFieldsFromDatasource", 0x60030000, R::Int16,
     u"vArrayControlArrays variant; tFileToSave string; tAddressFields variant optional; tAddressvalues variant optional"},
    {u"SortRecordset_rs", 0x60030003, R::Recordset, u"objRecordset object; tFieldToSort string"},
    {u"ValidateDataTypeOnLostFocus_s", 0x60030004, R::String,
     u"objRecordset object; vControl variant; tDateFormatString string; bControlArray flag"},
    {u"FillUnboundControlsFromRS_s", 0x60030005, R::String, u"objRecordset object; objTextBoxUnbound object; iLbound int16"},
    {u"FillRSFromUnboundControls_s", 0x60030006, R::String, u"objRecordset object; objTextBoxUnbound object; iLbound int16"},
    {u"GetBetweenWhereClauseFromTags_s", 0x60030007, R::String,
     u"caControlArray variant; iLbound int16; iUbound int16; bDaoOrCrystal flag; bSqlCriteria flag"},
    {u"ReadFromRecordToControlArray", 0x60030008, R::None, u"caControlArray variant; tblTable object"},
    {u"ReadFromSnapToControlArray", 0x60030009, R::None, u"caControlArray variant; snpSnapshot object"},
    {u"SaveRecordFromControls", 0x6003000A, R::Variant, u"frmForm object; tblTable object; NotSaveThisTaggers varargs"},
    {u"SaveRecordFromControlArray_b", 0x6003000B, R::Flag,
     u"bBeginTrans flag; ctrControlArray variant; tblTable object; NotSaveThisTaggers varargs"},
    {u"ReadFromRecordToControls", 0x6003000C, R::Variant, u"frmForm object; rsRecordset object"},
    {u"GetWhereClauseFromTags_s", 0x6003000D, R::String,
     u"vArrayControlArrays variant; bDaoOrCrystal flag; bSqlCriteria flag; NotSeekThisTaggers varargs"},
    {u"MakeCurrentRecord_b", 0x6003000E, R::Flag, u"tblTable object; sIndexes string; vIdToFind variant"},
    {u"FindRecord_b", 0x6003000F, R::Flag, u"bFirst flag; rsRecordset object; tWhereClause string"},
};

constexpr RoutineRow kOcxWrapper[] = {
    {u"SizeGridForm", 0x60030002, R::Int16, u"objGrid object; vControls varargs"},
    {u"SizeGridColumns", 0x60030003, R::Int16,
     u"objGrid object; bVerticalScrollBar flag; iVisibleCols int16; vArrayColWidth variant optional"},
    {u"ComboInGridRowColChange", 0x60030004, R::Int16, u"objDBGrid object; objDBCombo object; iAdjustTop variant optional"},
    {u"ReadFromFile_t", 0x60030005, R::String, u"tFileName string; bAsBinary int16"},
    {u"ShowResultInGrid_s", 0x60030006, R::String,
     u"frmView object; objDatacontrol object; objGrid object; objRecordset object; tPanelText string; "
     u"arrColWidth variant; tCallFromOther variant optional"},
    {u"SizeGridFromWidth", 0x60030007, R::Int16, u"objGrid object; iColsHide variant optional"},
    {u"SetAsDefaultValue", 0x60030008, R::Int32, u"tFormName string; tControlName string; tValue string; tIniFileName string"},
    {u"GetDefaultValues", 0x60030009, R::Int32, u"objForm object; tIniFileName string"},
    {u"SaveMergeFieldsFromTags", 0x6003000A, R::Int16,
     u"vArrayControlArrays variant; tFileToSave string; tAddressFields variant optional; tAddressvalues variant optional"},
    {u"FillGridWithRecords", 0x6003000B, R::None, u"ctrlMSFlexGrid object; rsRecordset object; vExcpetionField variant optional"},
    {u"SaveToFile", 0x6003000C, R::Int16, u"tFileName string; tFileContents string; bAsBinary int16"},
    {u"SaveFile", 0x6003000D, R::Int16, u"tFileName string; tFileContents variant"},
    {u"OpenFileForInput_t", 0x6003000E, R::String, u"tFileName string"},
    {u"SetHighlightColorWhite_b", 0x6003000F, R::Flag, u"bWhite flag"},
    {u"ClearControls", 0x60030010, R::None, u"caControls variant; iLbound int16; iUbound int16"},
    {u"ClearAllControlValues", 0x60030011, R::None, u"frmForm object"},
    {u"ComboKeySeek", 0x60030012, R::None, u"cmbComboBox object"},
    {u"Center", 0x60030013, R::None, u"frmForm object"},
    {u"SelAllText", 0x60030014, R::None, u"ctrControl object"},
    {u"SetControlsTransparent", 0x60030015, R::None, u"caCtrlArray variant"},
    {u"AddRowTextToGrid", 0x60030016, R::None, u"grdGrid object; vValuesToAdd varargs"},
    {u"AddValuesToRecordset", 0x60030017, R::Int32,
     u"rsRecordset object; tExcpetionField string; lEdit int32; vValuesToAdd varargs"},
    {u"AddFromGridToRecordset", 0x60030018, R::Int32,
     u"rsRecordset object; grdGrid object; tExcpetionField string; lEdit int32; vValuesToAdd varargs"},
    {u"CopyFromDbGrid", 0x60030019, R::Int16, u"grdDBGrid object; rsRecordset object"},
    {u"PasteToDbGrid", 0x6003001A, R::Int16, u"rsRecordsetOfDBGrid object"},
    {u"DeleteSelectedRecordsFromDbGrid", 0x6003001B, R::Int16, u"grdDBGrid object; dcDataControl object; dbDataBase object"},
    {u"SizeGridFromPanels", 0x6003001C, R::None, u"ctrlMSFlexGrid object; caPanel object; iLbound int16"},
};

constexpr RoutineRow kCustomize[] = {
    {u"GenerateIniColumnWidths", 0x60030002, R::Int16, u"objGrid object; tFormName string"},
    {u"GetIniColumnWidths_i", 0x60030003, R::Int16, u"objGrid object; tFormName string"},
    {u"GenerateIniTips", 0x60030004, R::Int16, u"objFormCtrlColl object; tFormName string"},
    {u"GetIniTips", 0x60030005, R::Int16, u"objFormCtrlColl object; tFormName string"},
    {u"GenerateIniCaptions", 0x60030006, R::Int16, u"objControls object; tFormName string"},
    {u"GetIniCaptions", 0x60030007, R::Int16, u"objControls object; tFormName string"},
};

constexpr RoutineRow kAPIWrapper[] = {
    {u"AppActivateClass", 0x60030001, R::Variant, u"lpClassName string"},
    {u"GetIniValue", 0x60030002, R::String, u"tSection string; tVariable string; tFileName string"},
    {u"GetSystemDir", 0x60030003, R::String, u""},
    {u"GetWindowsDir", 0x60030004, R::String, u""},
    {u"StayOnTop", 0x60030005, R::None, u"frmForm object; bOnTop flag"},
    {u"WriteIniValue", 0x60030006, R::Int32, u"tSection string; tVariable string; tValue string; tFileName string"},
};

ParamType parseType(std::u16string_view word) {
  if (word == u"string") return ParamType::String;
  if (word == u"int16") return ParamType::Int16;
  if (word == u"int32") return ParamType::Int32;
  if (word == u"flag") return ParamType::Flag;
  if (word == u"variant") return ParamType::Variant;
  if (word == u"object") return ParamType::Object;
  if (word == u"varargs") return ParamType::VarArgs;
  raise(Error(errc::InvalidProcedureCall, u"Unknown parameter type in the type library"));
}

std::vector<std::u16string_view> words(std::u16string_view text) {
  std::vector<std::u16string_view> out;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == u' ') ++i;
    const std::size_t start = i;
    while (i < text.size() && text[i] != u' ') ++i;
    if (i > start) out.push_back(text.substr(start, i - start));
  }
  return out;
}

std::vector<ParamInfo> parseParams(std::u16string_view text) {
  std::vector<ParamInfo> params;
  while (!text.empty()) {
    const std::size_t end = text.find(u';');
    const auto parts = words(text.substr(0, end));
    text = end == std::u16string_view::npos ? std::u16string_view() : text.substr(end + 1);
    if (parts.empty()) continue;
    if (parts.size() < 2 || parts.size() > 3 || (parts.size() == 3 && parts[2] != u"optional"))
      raise(Error(errc::InvalidProcedureCall, u"Malformed parameter in the type library"));
    params.push_back(ParamInfo{std::u16string(parts[0]), parseType(parts[1]), parts.size() == 3});
  }
  return params;
}

template <std::size_t N>
InterfaceInfo makeInterface(std::u16string_view name, const IID& iid, const RoutineRow (&rows)[N]) {
  InterfaceInfo info{std::u16string(name), iid, {}};
  int slot = 1;
  for (const RoutineRow& row : rows)
    info.routines.push_back(RoutineInfo{std::u16string(row.name), row.id, slot++, row.result, parseParams(row.params)});
  return info;
}

GUID guid(const char* text) { return *parseGuid(text); }

TypeLibrary build() {
  TypeLibrary lib;
  lib.name = u"Tarnwick";
  lib.helpString = u"Sql, OCX and DAO Wrappers.";
  lib.libraryId = guid("{BE34CB7D-7557-11D2-8E42-0008C7EA3DBB}");
  lib.majorVersion = 1;
  lib.minorVersion = 0;
  lib.lcid = 0x0409;
  lib.importedLibraries = {u"stdole2", u"data engine"};
  lib.classes.push_back(ClassInfo{u"DataAccessWrapper", u"Tarnwick.DataAccessWrapper",
                                  guid("{BE34CB76-7557-11D2-8E42-0008C7EA3DBB}"),
                                  makeInterface(u"_DataAccessWrapper", guid("{BE34CB75-7557-11D2-8E42-0008C7EA3DBB}"),
                                                kDataAccessWrapper)});
  lib.classes.push_back(ClassInfo{u"OcxWrapper", u"Tarnwick.OcxWrapper", guid("{BE34CB78-7557-11D2-8E42-0008C7EA3DBB}"),
                                  makeInterface(u"_OcxWrapper", guid("{BE34CB77-7557-11D2-8E42-0008C7EA3DBB}"),
                                                kOcxWrapper)});
  lib.classes.push_back(ClassInfo{u"Customize", u"Tarnwick.Customize", guid("{BE34CB7A-7557-11D2-8E42-0008C7EA3DBB}"),
                                  makeInterface(u"_Customize", guid("{BE34CB79-7557-11D2-8E42-0008C7EA3DBB}"),
                                                kCustomize)});
  lib.classes.push_back(ClassInfo{u"APIWrapper", u"Tarnwick.APIWrapper", guid("{BE34CB7C-7557-11D2-8E42-0008C7EA3DBB}"),
                                  makeInterface(u"_APIWrapper", guid("{BE34CB7B-7557-11D2-8E42-0008C7EA3DBB}"),
                                                kAPIWrapper)});
  return lib;
}

}  // namespace

std::size_t RoutineInfo::requiredCount() const noexcept {
  std::size_t count = 0;
  for (std::size_t i = 0; i < fixedCount(); ++i)
    if (!params[i].optional) count = i + 1;
  return count;
}

const RoutineInfo* InterfaceInfo::find(DISPID id) const noexcept {
  for (const RoutineInfo& r : routines)
    if (r.id == id) return &r;
  return nullptr;
}

const RoutineInfo* InterfaceInfo::find(std::u16string_view wanted) const noexcept {
  for (const RoutineInfo& r : routines)
    if (equalsIgnoreCase(r.name, wanted)) return &r;
  return nullptr;
}

const ClassInfo* TypeLibrary::findClass(std::u16string_view nameOrProgId) const noexcept {
  for (const ClassInfo& c : classes)
    if (equalsIgnoreCase(c.name, nameOrProgId) || equalsIgnoreCase(c.progId, nameOrProgId)) return &c;
  return nullptr;
}

const ClassInfo* TypeLibrary::findClass(const CLSID& clsid) const noexcept {
  for (const ClassInfo& c : classes)
    if (c.clsid == clsid) return &c;
  return nullptr;
}

std::size_t TypeLibrary::routineCount() const noexcept {
  std::size_t count = 0;
  for (const ClassInfo& c : classes) count += c.interface.routines.size();
  return count;
}

const TypeLibrary& typeLibrary() {
  static const TypeLibrary library = build();
  return library;
}

std::u16string_view typeName(ParamType type) noexcept {
  switch (type) {
    case ParamType::String: return u"string";
    case ParamType::Int16: return u"int16";
    case ParamType::Int32: return u"int32";
    case ParamType::Flag: return u"flag";
    case ParamType::Variant: return u"variant";
    case ParamType::Object: return u"object";
    case ParamType::VarArgs: return u"variant[]";
  }
  return u"?";
}

std::u16string_view typeName(ResultType type) noexcept {
  switch (type) {
    case ResultType::None: return u"void";
    case ResultType::String: return u"string";
    case ResultType::Int16: return u"int16";
    case ResultType::Int32: return u"int32";
    case ResultType::Flag: return u"flag";
    case ResultType::Variant: return u"variant";
    case ResultType::Recordset: return u"Recordset";
  }
  return u"?";
}

std::u16string describeTypeLibrary(const TypeLibrary& lib) {
  auto ascii = [](const std::string& s) { return std::u16string(s.begin(), s.end()); };
  std::u16string out;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "version(%u.%u), lcid(0x%04X)", lib.majorVersion, lib.minorVersion, lib.lcid);
  out += u"[uuid(" + ascii(toString(lib.libraryId).substr(1, 36)) + u"), " + ascii(buffer) + u", helpstring(\"" +
         lib.helpString + u"\")]\nlibrary " + lib.name + u" {\n";
  for (const std::u16string& imported : lib.importedLibraries) out += u"  importlib(\"" + imported + u"\");\n";
  for (const ClassInfo& c : lib.classes) {
    const InterfaceInfo& i = c.interface;
    out += u"\n  [uuid(" + ascii(toString(i.iid).substr(1, 36)) + u"), dual, hidden, nonextensible, oleautomation]\n";
    out += u"  interface " + i.name + u" : IDispatch {\n";
    for (const RoutineInfo& r : i.routines) {
      std::snprintf(buffer, sizeof buffer, "    [id(0x%08X), slot(%d)] ", static_cast<unsigned>(r.id), r.slot);
      out += ascii(buffer) + std::u16string(typeName(r.result)) + u" " + r.name + u"(";
      for (std::size_t p = 0; p < r.params.size(); ++p) {
        const ParamInfo& param = r.params[p];
        if (p) out += u", ";
        if (param.optional) out += u"[optional] ";
        if (param.type == ParamType::VarArgs) out += u"[vararg] ";
        out += std::u16string(typeName(param.type)) + u"* " + param.name;
      }
      out += u");\n";
    }
    out += u"  };\n\n  [uuid(" + ascii(toString(c.clsid).substr(1, 36)) + u"), progid(\"" + c.progId +
           u"\")]\n  coclass " + c.name + u" {\n    [default] interface " + i.name + u";\n  };\n";
  }
  out += u"};\n";
  return out;
}

}  // namespace tarnwick::frame
