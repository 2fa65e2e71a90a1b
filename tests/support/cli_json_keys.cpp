#include "tests/support/cli_json_keys.h"

#include <regex>

namespace {

enum class Type {
    Format,       // the document's format: 1
    String,
    Sum,          // as the log shows a sum: uppercase hex, no leading zero
    Count,        // a whole number, 0 or more
    Status,       // an exit status of the table
    Boolean,
    Strings,      // an array of strings
    Objects,      // an array of objects, each fitting one of `shapes`
    Object,       // an object fitting `shapes[0]`
};

struct Key;
using Shape = std::vector<Key>;

struct Key {
    const char* name;
    Type type;
    bool required = true;
    std::vector<const Shape*> shapes = {};
};

const Shape kErrorBody = {
    {"message", Type::String},
    {"exitStatus", Type::Status},
    {"drive", Type::String, false},
};

const Shape kListDrive = {
    {"node", Type::String},
    {"other", Type::String},
    // A drive that answered INQUIRY:
    {"model", Type::String, false},
    {"revision", Type::String, false},
    {"listed", Type::Boolean, false},
    // one that did not:
    {"error", Type::String, false},
};

const Shape kInfoModel = {
    {"model", Type::String},
    {"file", Type::String},
    {"carried", Type::Boolean},
    {"passingRevisions", Type::Strings},
};

// One drive's upgrade: the document of one, an entry of a tower's.
const Shape kSummaryKeys = {
    {"node", Type::String},
    {"model", Type::String},
    {"revisionBefore", Type::String},
    {"modelAfter", Type::String},
    {"revisionAfter", Type::String},
    {"result", Type::String},
    {"state", Type::String},
    {"exitStatus", Type::Status},
    {"failedCommand", Type::String},
    {"explanation", Type::String},
    {"stateWords", Type::String},
};

// A tower's drive that was not upgraded.
const Shape kUnchosen = {
    {"node", Type::String},
    {"model", Type::String},
    {"revisionBefore", Type::String},
    {"result", Type::String},
    {"exitStatus", Type::Status},
    {"reason", Type::String},
};

Shape WithFormat(Shape keys)
{
    keys.insert(keys.begin(), {"format", Type::Format});
    return keys;
}

const Shape kList = WithFormat({
    {"list", Type::String},
    {"drives", Type::Objects, true, {&kListDrive}},
});

const Shape kInfo = WithFormat({
    {"image", Type::String},
    {"kind", Type::String},
    {"size", Type::Count},
    {"imageLength", Type::Count},
    {"sentLength", Type::Count},
    {"blocks", Type::Count},
    {"programmingWaits", Type::Count},
    {"checkSum", Type::Sum},
    {"headerSum", Type::Sum},
    {"models", Type::Objects, true, {&kInfoModel}},
});

const Shape kCheck = WithFormat({
    {"drive", Type::String},
    {"model", Type::String},
    {"revision", Type::String},
    {"image", Type::String},
    {"checkSum", Type::Sum},
    {"forDrive", Type::Boolean},
    {"verdict", Type::String},
});

const Shape kUpgrade = WithFormat(kSummaryKeys);

const Shape kTower = WithFormat({
    {"drives", Type::Objects, true, {&kSummaryKeys, &kUnchosen}},
    {"exitStatus", Type::Status},
});

const Shape kError = WithFormat({
    {"error", Type::Object, true, {&kErrorBody}},
});

const Shape* ShapeOf(CliJsonKind kind)
{
    switch (kind) {
    case CliJsonKind::List: return &kList;
    case CliJsonKind::Info: return &kInfo;
    case CliJsonKind::Check: return &kCheck;
    case CliJsonKind::Upgrade: return &kUpgrade;
    case CliJsonKind::Tower: return &kTower;
    case CliJsonKind::Error: return &kError;
    case CliJsonKind::Unknown: break;
    }
    return nullptr;
}

const char* TypeName(Type type)
{
    switch (type) {
    case Type::Format: return "the format 1";
    case Type::String: return "a string";
    case Type::Sum: return "a sum in uppercase hex without leading zeros";
    case Type::Count: return "a whole number";
    case Type::Status: return "an exit status (0, 1, 2, 3, 64 or 74)";
    case Type::Boolean: return "true or false";
    case Type::Strings: return "an array of strings";
    case Type::Objects: return "an array of objects";
    case Type::Object: return "an object";
    }
    return "?";
}

void CheckShape(const nlohmann::json& value, const Shape& shape, const std::string& at,
                std::vector<std::string>& faults);

bool FitsOne(const nlohmann::json& value, const std::vector<const Shape*>& shapes, const std::string& at,
             std::vector<std::string>& faults)
{
    std::vector<std::string> closest;
    for (const Shape* shape : shapes) {
        std::vector<std::string> own;
        CheckShape(value, *shape, at, own);
        if (own.empty())
            return true;
        if (closest.empty() || own.size() < closest.size())
            closest = own;
    }
    faults.insert(faults.end(), closest.begin(), closest.end());
    return false;
}

bool Fits(const nlohmann::json& value, const Key& key, const std::string& at, std::vector<std::string>& faults)
{
    static const std::regex kSum("0|[1-9A-F][0-9A-F]{0,3}");
    switch (key.type) {
    case Type::Format:
        return value.is_number_integer() && value.get<long long>() == 1;
    case Type::String:
        return value.is_string();
    case Type::Sum:
        return value.is_string() && std::regex_match(value.get<std::string>(), kSum);
    case Type::Count:
        return value.is_number_unsigned() || (value.is_number_integer() && value.get<long long>() >= 0);
    case Type::Status: {
        if (!value.is_number_integer())
            return false;
        const long long code = value.get<long long>();
        return (code >= 0 && code <= 3) || code == 64 || code == 74;
    }
    case Type::Boolean:
        return value.is_boolean();
    case Type::Strings:
        if (!value.is_array())
            return false;
        for (const auto& item : value)
            if (!item.is_string())
                return false;
        return true;
    case Type::Objects: {
        if (!value.is_array())
            return false;
        for (std::size_t k = 0; k < value.size(); ++k)
            if (!value[k].is_object())
                faults.push_back(at + "[" + std::to_string(k) + "] is not an object");
            else
                FitsOne(value[k], key.shapes, at + "[" + std::to_string(k) + "]", faults);
        return true;
    }
    case Type::Object:
        if (!value.is_object())
            return false;
        FitsOne(value, key.shapes, at, faults);
        return true;
    }
    return false;
}

void CheckShape(const nlohmann::json& value, const Shape& shape, const std::string& at,
                std::vector<std::string>& faults)
{
    const std::string prefix = at.empty() ? "" : at + ".";
    for (const Key& key : shape) {
        const auto found = value.find(key.name);
        if (found == value.end()) {
            if (key.required)
                faults.push_back(prefix + key.name + " is missing");
            continue;
        }
        if (!Fits(*found, key, prefix + key.name, faults))
            faults.push_back(prefix + key.name + " is " + found->dump() + ", not " + TypeName(key.type));
    }
    for (const auto& [name, item] : value.items()) {
        bool known = false;
        for (const Key& key : shape)
            known = known || name == key.name;
        if (!known)
            faults.push_back(prefix + name + " is a key the table does not have");
    }
}

} // namespace

const char* NameOf(CliJsonKind kind)
{
    switch (kind) {
    case CliJsonKind::List: return "list";
    case CliJsonKind::Info: return "info";
    case CliJsonKind::Check: return "check";
    case CliJsonKind::Upgrade: return "upgrade";
    case CliJsonKind::Tower: return "tower";
    case CliJsonKind::Error: return "error";
    case CliJsonKind::Unknown: break;
    }
    return "unknown";
}

CliJsonKind CliJsonKindOf(const nlohmann::json& document)
{
    if (!document.is_object())
        return CliJsonKind::Unknown;
    const auto has = [&](const char* key) { return document.contains(key); };
    if (has("error"))
        return CliJsonKind::Error;
    if (has("list"))
        return CliJsonKind::List;
    if (has("models"))
        return CliJsonKind::Info;
    if (has("forDrive"))
        return CliJsonKind::Check;
    if (has("drives"))
        return CliJsonKind::Tower;
    if (has("result"))
        return CliJsonKind::Upgrade;
    return CliJsonKind::Unknown;
}

std::vector<std::string> CliJsonFaults(const nlohmann::json& document, CliJsonKind kind)
{
    std::vector<std::string> faults;
    const Shape* shape = ShapeOf(kind);
    if (!shape)
        faults.push_back("no table for a document of kind " + std::string(NameOf(kind)));
    else if (!document.is_object())
        faults.push_back("the document is not an object");
    else
        CheckShape(document, *shape, "", faults);
    return faults;
}

std::vector<std::string> CliJsonOutputFaults(const std::string& output, CliJsonKind* kind)
{
    if (kind)
        *kind = CliJsonKind::Unknown;
    // Parsing the whole output at once fails on anything before or after the
    // one document, a second one included.
    const nlohmann::json document = nlohmann::json::parse(output, nullptr, false);
    if (document.is_discarded())
        return {"standard output is not one JSON document: \"" + output + "\""};
    const CliJsonKind found = CliJsonKindOf(document);
    if (kind)
        *kind = found;
    if (found == CliJsonKind::Unknown)
        return {"a document of no kind the table knows: " + document.dump()};
    return CliJsonFaults(document, found);
}
