#include "Scenario.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

namespace tbx::sim {

namespace {

using nlohmann::json;

[[noreturn]] void fail(const std::string &where, const std::string &what)
{
    throw ScenarioError(where.empty() ? what : where + ": " + what);
}

void onlyKeys(const json &object, const std::string &where, std::initializer_list<const char *> keys)
{
    if (!object.is_object())
        fail(where, "expected an object");
    for (const auto &item : object.items()) {
        const std::string &key = item.key();
        if (std::none_of(keys.begin(), keys.end(), [&](const char *k) { return key == k; }))
            fail(where, "unknown key \"" + key + "\"");
    }
}

std::string text(const json &v, const std::string &where)
{
    if (!v.is_string())
        fail(where, "expected a string");
    return v.get<std::string>();
}

std::int64_t integer(const json &v, const std::string &where, std::int64_t lo, std::int64_t hi)
{
    if (!v.is_number_integer())
        fail(where, "expected an integer");
    if (v.is_number_unsigned() && v.get<std::uint64_t>() > static_cast<std::uint64_t>(hi))
        fail(where, "value out of range");
    const auto n = v.get<std::int64_t>();
    if (n < lo || n > hi)
        fail(where, "value out of range (" + std::to_string(lo) + " to " + std::to_string(hi) + ")");
    return n;
}

bool boolean(const json &v, const std::string &where)
{
    if (!v.is_boolean())
        fail(where, "expected true or false");
    return v.get<bool>();
}

const FamilyProfile &profileOf(const std::string &family, const std::vector<const FamilyProfile *> &profiles,
                               const std::string &where)
{
    for (const auto *p : profiles)
        if (p->family == family)
            return *p;
    fail(where, "unknown camera family \"" + family + "\"");
}

std::uint32_t propertyIdOf(const std::string &key, const FamilyProfile &profile, const std::string &where)
{
    if (key.size() > 2 && key[0] == '0' && (key[1] == 'x' || key[1] == 'X')) {
        char *end = nullptr;
        unsigned long v = std::strtoul(key.c_str() + 2, &end, 16);
        if (end == nullptr || *end != 0 || v > 0xFFFFFFFFul)
            fail(where, "bad property id \"" + key + "\"");
        return static_cast<std::uint32_t>(v);
    }
    if (auto id = profile.propertyId(key))
        return *id;
    fail(where, "unknown property \"" + key + "\"");
}

std::vector<std::uint8_t> words(const json &v, const std::string &where)
{
    std::vector<std::uint8_t> out;
    auto put = [&](const json &n, const std::string &at) {
        const std::int64_t x = integer(n, at, INT32_MIN, UINT32_MAX);
        const auto w = static_cast<std::uint32_t>(x);
        std::uint8_t b[4];
        std::memcpy(b, &w, 4);
        out.insert(out.end(), b, b + 4);
    };
    if (v.is_array()) {
        for (std::size_t i = 0; i < v.size(); ++i)
            put(v[i], where + "[" + std::to_string(i) + "]");
    } else {
        put(v, where);
    }
    return out;
}

void setValue(Property &p, const json &v, const std::string &where)
{
    if (p.text) {
        p.setText(text(v, where));
        return;
    }
    auto bytes = words(v, where);
    if (!p.value.empty() && bytes.size() != p.value.size())
        fail(where, "expected " + std::to_string(p.value.size() / 4) + " value(s)");
    p.value = std::move(bytes);
}

void applyProperty(Camera &camera, const FamilyProfile &profile, const std::string &key, const json &v,
                   const std::string &where)
{
    const std::uint32_t id = propertyIdOf(key, profile, where);
    if (v.is_null()) {
        // The camera does not have the property at all.
        camera.properties.erase(id);
        return;
    }
    Property *p = camera.property(id);
    if (v.is_null()) {  // the camera does not have this property
        camera.properties.erase(id);
        return;
    }
    if (v.is_object()) {
        onlyKeys(v, where, {"type", "value", "allowed", "offered", "writable", "range", "maxSize"});
        if (v.contains("type")) {
            const std::string typeName = text(v["type"], where + ".type");
            auto type = profile.dataType(typeName);
            if (!type)
                fail(where + ".type", "unknown data type \"" + typeName + "\"");
            Property fresh;
            fresh.type = *type;
            fresh.text = typeName == "String";
            camera.properties[id] = fresh;
            p = camera.property(id);
        }
        if (p == nullptr)
            fail(where, "property \"" + key + "\" is not known for this camera; give its \"type\"");
        if (v.contains("maxSize"))
            p->maxSize = static_cast<std::size_t>(integer(v["maxSize"], where + ".maxSize", 1, 65536));
        if (v.contains("value"))
            setValue(*p, v["value"], where + ".value");
        if (p->value.empty())
            fail(where, "a new property needs a \"value\"");
        if (v.contains("writable"))
            p->writable = boolean(v["writable"], where + ".writable");
        if (v.contains("allowed")) {
            if (!v["allowed"].is_array())
                fail(where + ".allowed", "expected an array");
            std::vector<std::int32_t> allowed;
            for (std::size_t i = 0; i < v["allowed"].size(); ++i)
                allowed.push_back(static_cast<std::int32_t>(
                    integer(v["allowed"][i], where + ".allowed[" + std::to_string(i) + "]", INT32_MIN, UINT32_MAX)));
            p->list(std::move(allowed), true);
        }
        if (v.contains("offered"))
            p->hasDesc = boolean(v["offered"], where + ".offered");
        if (v.contains("range")) {
            const json &r = v["range"];
            if (!r.is_array() || r.size() != 2)
                fail(where + ".range", "expected [lowest, highest]");
            p->range = std::make_pair(integer(r[0], where + ".range[0]", INT32_MIN, INT32_MAX),
                                      integer(r[1], where + ".range[1]", INT32_MIN, INT32_MAX));
        }
        return;
    }
    if (p == nullptr)
        fail(where, "property \"" + key + "\" is not known for this camera; give its \"type\"");
    setValue(*p, v, where);
}

void readItems(const json &list, std::vector<std::shared_ptr<Item>> &into, const std::shared_ptr<Item> &parent,
               const Camera &camera, const FamilyProfile &profile, const std::string &where, int depth)
{
    if (!list.is_array())
        fail(where, "expected an array");
    if (depth > 16)
        fail(where, "folders nested too deep");
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string at = where + "[" + std::to_string(i) + "]";
        const json &e = list[i];
        auto item = std::make_shared<Item>();
        item->parent = parent;
        item->time = camera.now() - static_cast<std::int64_t>(3600 * (list.size() - i));
        if (e.is_object() && e.contains("folder")) {
            onlyKeys(e, at, {"folder", "items", "time"});
            item->name = text(e["folder"], at + ".folder");
            item->kind = ItemKind::Folder;
            if (e.contains("items"))
                readItems(e["items"], item->children, item, camera, profile, at + ".items", depth + 1);
        } else if (e.is_object() && e.contains("file")) {
            onlyKeys(e, at, {"file", "size", "time", "width", "height", "readOnly"});
            item->name = text(e["file"], at + ".file");
            item->kind = kindOfName(item->name);
            item->width = camera.pictureWidth;
            item->height = camera.pictureHeight;
            if (e.contains("width"))
                item->width = static_cast<int>(integer(e["width"], at + ".width", 16, 8192));
            if (e.contains("height"))
                item->height = static_cast<int>(integer(e["height"], at + ".height", 16, 8192));
            if (e.contains("readOnly") && boolean(e["readOnly"], at + ".readOnly"))
                item->attributes |= 1;
            if (item->kind == ItemKind::Raw)
                item->requestedSize = camera.release.rawSize;
            if (item->kind == ItemKind::Movie)
                item->requestedSize = camera.release.movieSize;
            if (item->kind == ItemKind::Other)
                item->requestedSize = 4096;
            if (e.contains("size"))
                item->requestedSize = static_cast<std::uint64_t>(integer(e["size"], at + ".size", 0, 256ll << 20));
        } else {
            fail(at, "expected {\"folder\": ...} or {\"file\": ...}");
        }
        if (item->name.empty() || item->name.size() >= 256 || item->name.find('/') != std::string::npos)
            fail(at, "a name must have 1 to 255 characters and no '/'");
        if (e.contains("time")) {
            auto t = parseTime(text(e["time"], at + ".time"));
            if (!t)
                fail(at + ".time", "expected \"YYYY-MM-DDTHH:MM:SS\"");
            item->time = *t;
        }
        item->format = profile.formatOf(*item);
        into.push_back(item);
    }
}

std::shared_ptr<Camera> readCamera(const json &c, const std::vector<const FamilyProfile *> &profiles,
                                   const std::string &at)
{
    onlyKeys(c, at,
             {"id", "family", "description", "portName", "subType", "attached", "ownerName", "bodyId", "firmware",
              "battery", "lens", "saveTo", "clock", "properties", "volumes", "liveView", "release", "picture",
              "powerZoom"});
    if (!c.contains("id"))
        fail(at, "a camera needs an \"id\"");
    const std::string family = c.contains("family") ? text(c["family"], at + ".family") : profiles.front()->family;
    const FamilyProfile &profile = profileOf(family, profiles, at + ".family");
    auto camera = std::make_shared<Camera>();
    camera->family = family;
    profile.defaults(*camera);
    camera->id = text(c["id"], at + ".id");
    if (camera->id.empty())
        fail(at + ".id", "must not be empty");
    if (c.contains("description"))
        camera->description = text(c["description"], at + ".description");
    if (camera->description.size() >= 256)
        fail(at + ".description", "at most 255 characters");
    if (c.contains("portName"))
        camera->portName = text(c["portName"], at + ".portName");
    if (camera->portName.size() >= 256)
        fail(at + ".portName", "at most 255 characters");
    if (c.contains("subType"))
        camera->subType = static_cast<std::uint32_t>(integer(c["subType"], at + ".subType", 0, UINT32_MAX));
    if (c.contains("attached"))
        camera->attached = boolean(c["attached"], at + ".attached");
    if (c.contains("powerZoom"))
        camera->powerZoom = boolean(c["powerZoom"], at + ".powerZoom");
    if (c.contains("clock")) {
        auto t = parseTime(text(c["clock"], at + ".clock"));
        if (!t)
            fail(at + ".clock", "expected \"YYYY-MM-DDTHH:MM:SS\"");
        camera->clockOffset = *t - hostLocalNow();
    }
    if (c.contains("picture")) {
        const json &p = c["picture"];
        onlyKeys(p, at + ".picture", {"width", "height"});
        if (p.contains("width"))
            camera->pictureWidth = static_cast<int>(integer(p["width"], at + ".picture.width", 16, 8192));
        if (p.contains("height"))
            camera->pictureHeight = static_cast<int>(integer(p["height"], at + ".picture.height", 16, 8192));
    }
    if (c.contains("liveView")) {
        const json &l = c["liveView"];
        onlyKeys(l, at + ".liveView", {"width", "height", "quality", "notReadyFrames"});
        if (l.contains("width"))
            camera->liveView.width = static_cast<int>(integer(l["width"], at + ".liveView.width", 16, 4096));
        if (l.contains("height"))
            camera->liveView.height = static_cast<int>(integer(l["height"], at + ".liveView.height", 16, 4096));
        if (l.contains("quality"))
            camera->liveView.quality = static_cast<int>(integer(l["quality"], at + ".liveView.quality", 1, 100));
        if (l.contains("notReadyFrames"))
            camera->liveView.notReadyFrames = static_cast<int>(
                integer(l["notReadyFrames"], at + ".liveView.notReadyFrames", 0, 1000));
    }
    if (c.contains("release")) {
        const json &r = c["release"];
        onlyKeys(r, at + ".release", {"afFailure", "rawSize", "movieSize", "filePrefix", "moviePrefix", "folder"});
        if (r.contains("afFailure"))
            camera->release.afFailure = boolean(r["afFailure"], at + ".release.afFailure");
        if (r.contains("rawSize"))
            camera->release.rawSize = static_cast<std::uint64_t>(
                integer(r["rawSize"], at + ".release.rawSize", 16, 256ll << 20));
        if (r.contains("movieSize"))
            camera->release.movieSize = static_cast<std::uint64_t>(
                integer(r["movieSize"], at + ".release.movieSize", 16, 256ll << 20));
        if (r.contains("filePrefix"))
            camera->release.filePrefix = text(r["filePrefix"], at + ".release.filePrefix");
        if (r.contains("moviePrefix"))
            camera->release.moviePrefix = text(r["moviePrefix"], at + ".release.moviePrefix");
        if (r.contains("folder"))
            camera->release.folder = text(r["folder"], at + ".release.folder");
        if (camera->release.filePrefix.size() > 8 || camera->release.moviePrefix.size() > 8)
            fail(at + ".release", "file prefixes have at most 8 characters");
    }
    // Shortcuts for the properties every host looks at.
    const std::pair<const char *, const char *> shortcuts[] = {
        {"ownerName", "OwnerName"}, {"bodyId", "BodyIDEx"}, {"firmware", "FirmwareVersion"}, {"lens", "LensName"}};
    for (const auto &[key, name] : shortcuts)
        if (c.contains(key))
            applyProperty(*camera, profile, name, c[key], at + "." + key);
    if (c.contains("battery")) {
        const json &b = c["battery"];
        if (b.is_string() && b.get<std::string>() == "AC")
            applyProperty(*camera, profile, "BatteryLevel", json(0xFFFFFFFFu), at + ".battery");
        else
            applyProperty(*camera, profile, "BatteryLevel", json(integer(b, at + ".battery", 0, 100)), at + ".battery");
    }
    if (c.contains("saveTo")) {
        const json &s = c["saveTo"];
        std::int64_t v = 0;
        if (s.is_string()) {
            const std::string name = s.get<std::string>();
            v = name == "camera" ? 1 : name == "host" ? 2 : name == "both" ? 3 : 0;
            if (v == 0)
                fail(at + ".saveTo", "expected \"camera\", \"host\" or \"both\"");
        } else {
            v = integer(s, at + ".saveTo", 1, 3);
        }
        applyProperty(*camera, profile, "SaveTo", json(v), at + ".saveTo");
    }
    if (c.contains("properties")) {
        const json &props = c["properties"];
        if (!props.is_object())
            fail(at + ".properties", "expected an object");
        for (const auto &[key, value] : props.items())
            applyProperty(*camera, profile, key, value, at + ".properties." + key);
    }
    if (c.contains("volumes")) {
        const json &vols = c["volumes"];
        if (!vols.is_array())
            fail(at + ".volumes", "expected an array");
        camera->volumes.clear();
        for (std::size_t i = 0; i < vols.size(); ++i) {
            const std::string vat = at + ".volumes[" + std::to_string(i) + "]";
            const json &v = vols[i];
            onlyKeys(v, vat, {"label", "storageType", "capacity", "writeProtected", "items"});
            auto volume = std::make_shared<Volume>();
            if (v.contains("label"))
                volume->label = text(v["label"], vat + ".label");
            if (volume->label.size() >= 256)
                fail(vat + ".label", "at most 255 characters");
            if (v.contains("storageType")) {
                if (v["storageType"].is_string())
                    volume->storageType = profile.storageType(v["storageType"].get<std::string>());
                else
                    volume->storageType = static_cast<std::uint32_t>(
                        integer(v["storageType"], vat + ".storageType", 0, 255));
            }
            if (v.contains("capacity"))
                volume->capacity = static_cast<std::uint64_t>(integer(v["capacity"], vat + ".capacity", 1, INT64_MAX));
            if (v.contains("writeProtected"))
                volume->writeProtected = boolean(v["writeProtected"], vat + ".writeProtected");
            if (v.contains("items"))
                readItems(v["items"], volume->items, nullptr, *camera, profile, vat + ".items", 0);
            camera->volumes.push_back(volume);
        }
    }
    if (profile.settle) {
        bool qualityGiven = false;
        if (c.contains("properties"))
            for (const auto &[key, value] : c["properties"].items()) {
                (void)value;
                if (auto id = profile.propertyId("ImageQuality"); id && propertyIdOf(key, profile, at) == *id)
                    qualityGiven = true;
            }
        profile.settle(*camera, qualityGiven);
    }
    camera->updateNextFileNumber();
    return camera;
}

json parseJson(const std::string &text)
{
    try {
        return json::parse(text, nullptr, true, true);
    } catch (const json::exception &e) {
        // Syntax errors, and numbers too large for any type (out_of_range), which would
        // otherwise leave the library's C functions and end the host.
        throw ScenarioError(std::string("scenario is not valid JSON: ") + e.what());
    }
}

/// True for a camera of a family that another simulated library serves. A camera that names no
/// family is an EOS camera, as in the built-in scenario: every library reads the same file, and
/// such a camera must not turn up once in each of them.
bool ofAnotherLibrary(const json &camera, const std::vector<const FamilyProfile *> &profiles)
{
    if (!camera.is_object() || (camera.contains("family") && !camera["family"].is_string()))
        return false;
    const std::string family = camera.contains("family") ? camera["family"].get<std::string>() : "EOS";
    for (const auto *p : profiles)
        if (p->family == family)
            return false;
    return std::find(kScenarioFamilies.begin(), kScenarioFamilies.end(), family) != kScenarioFamilies.end();
}

} // namespace

const char *builtInScenario()
{
    return R"json({
  "cameras": [
    {
      "id": "eos1",
      "family": "EOS",
      "description": "Canon EOS 90D",
      "portName": "USB:SIM-EOS-0001",
      "subType": 1,
      "ownerName": "Tetherbox demo",
      "bodyId": "083021000123",
      "firmware": "1.1.1",
      "battery": 80,
      "volumes": [
        {
          "label": "SD1",
          "storageType": "SD",
          "capacity": 32000000000,
          "items": [
            { "folder": "DCIM", "items": [
              { "folder": "100CANON", "items": [
                { "file": "IMG_0001.JPG" },
                { "file": "IMG_0002.JPG" },
                { "file": "IMG_0003.CR3", "size": 1500000 },
                { "file": "IMG_0004.JPG" },
                { "file": "MVI_0005.MP4", "size": 3000000 }
              ] }
            ] }
          ]
        }
      ]
    }
  ]
})json";
}

Scenario parseScenario(const std::string &jsonText, const std::vector<const FamilyProfile *> &profiles)
{
    if (profiles.empty())
        throw ScenarioError("no camera family is known to this library");
    const json root = parseJson(jsonText);
    onlyKeys(root, "scenario", {"cameras", "callLogLimit", "eventDelivery"});
    Scenario scenario;
    if (!root.contains("cameras") || !root["cameras"].is_array())
        fail("scenario", "\"cameras\" must be an array");
    std::set<std::string> ids;
    const json &cams = root["cameras"];
    for (std::size_t i = 0; i < cams.size(); ++i) {
        const std::string at = "cameras[" + std::to_string(i) + "]";
        if (ofAnotherLibrary(cams[i], profiles))
            continue;
        auto camera = readCamera(cams[i], profiles, at);
        if (!ids.insert(camera->id).second)
            fail(at + ".id", "duplicate camera id \"" + camera->id + "\"");
        scenario.cameras.push_back(camera);
    }
    if (root.contains("callLogLimit"))
        scenario.callLogLimit = static_cast<std::size_t>(integer(root["callLogLimit"], "callLogLimit", 1, 10000000));
    if (root.contains("eventDelivery")) {
        const std::string mode = text(root["eventDelivery"], "eventDelivery");
        if (mode == "thread")
            scenario.delivery = EventPump::Mode::Thread;
        else if (mode == "getEvent")
            scenario.delivery = EventPump::Mode::Manual;
        else
            fail("eventDelivery", "expected \"thread\" or \"getEvent\"");
    }
    return scenario;
}

std::shared_ptr<Camera> parseCamera(const std::string &jsonText, const std::vector<const FamilyProfile *> &profiles)
{
    if (profiles.empty())
        throw ScenarioError("no camera family is known to this library");
    return readCamera(parseJson(jsonText), profiles, "camera");
}

std::string scenarioText(const std::string &textOrPath)
{
    auto first = textOrPath.find_first_not_of(" \t\r\n");
    if (first != std::string::npos && textOrPath[first] == '{')
        return textOrPath;
    if (textOrPath.empty())
        throw ScenarioError("no scenario text or file name given");
    std::ifstream in(textOrPath, std::ios::binary);
    if (!in)
        throw ScenarioError("scenario file \"" + textOrPath + "\" cannot be read");
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

} // namespace tbx::sim
