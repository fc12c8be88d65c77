// The virtual cameras shared by every simulated SDK library: attached cameras per family, their
// device record, properties, volumes with folders and files, live view, battery and clock, and
// what a release leaves behind. Family-specific behaviour (codes, events, commands) lives in
// each library; this model only stores and checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tbx::sim {

enum class ItemKind { Folder, Jpeg, Raw, Movie, Other };

/// Guesses the kind of a file from its extension (JPG/JPEG, CR2/CR3/CRW/RAW, MP4/MOV/AVI).
ItemKind kindOfName(const std::string &name);

/// A folder or file on a card, or a picture waiting in the camera for the host.
class Item {
public:
    std::string name;
    ItemKind kind = ItemKind::Other;
    std::uint64_t requestedSize = 0; ///< RAW/movie/other: exact size; JPEG: padded up to it
    std::uint32_t format = 0;        ///< the family's object-format code
    std::int64_t time = 0;           ///< seconds since 1970, camera local time
    std::uint32_t attributes = 0;
    std::uint32_t groupId = 0;
    int width = 1200; ///< JPEG pictures
    int height = 800;
    std::vector<std::shared_ptr<Item>> children;
    std::weak_ptr<Item> parent;
    bool removed = false;

    bool isFolder() const { return kind == ItemKind::Folder; }
    /// The file's bytes, generated on first use and kept.
    const std::vector<std::uint8_t> &content();
    /// A 160x120 JPEG thumbnail of the file, generated on first use.
    const std::vector<std::uint8_t> &thumbnail();
    std::uint64_t size();
    /// Sum of the sizes of this file or of every file below this folder.
    std::uint64_t totalSize();

private:
    std::shared_ptr<std::vector<std::uint8_t>> content_;
    std::shared_ptr<std::vector<std::uint8_t>> thumbnail_;
};

struct Volume {
    std::string label = "SD1";
    std::uint32_t storageType = 2;
    bool writeProtected = false;
    std::uint64_t capacity = 32ull * 1000 * 1000 * 1000;
    std::vector<std::shared_ptr<Item>> items;

    std::uint64_t usedBytes() const;
    std::uint64_t freeBytes() const;
    /// Finds a top-level folder or a folder below one by a path of names ("DCIM/100CANON").
    std::shared_ptr<Item> folder(const std::string &path, bool create);
};

/// One camera property as the family's SDK sees it: a data type, a value of bytes, the values
/// the camera accepts and how a write is checked.
struct Property {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> value;
    bool readable = true;
    bool writable = true;
    bool text = false;       ///< a zero-terminated string
    std::size_t maxSize = 0; ///< strings: capacity with the terminator (0: any)
    std::vector<std::int32_t> allowed;
    bool hasDesc = false;                                       ///< the allowed list is offered to the host
    std::optional<std::pair<std::int64_t, std::int64_t>> range; ///< each 32-bit word within
    std::map<std::int32_t, std::vector<std::uint8_t>> byParam;  ///< values chosen by a parameter
    std::uint32_t unlockKey = 0;                                ///< non-zero: a limited property, usable once unlocked
    bool unlocked = false;

    static Property u32(std::uint32_t type, std::uint32_t v, bool writable = true);
    static Property i32(std::uint32_t type, std::int32_t v, bool writable = true);
    static Property string(std::uint32_t type, const std::string &v, std::size_t maxSize, bool writable);
    static Property block(std::uint32_t type, std::vector<std::uint8_t> bytes, bool writable);
    Property &list(std::vector<std::int32_t> values, bool offered = true);

    std::uint32_t asU32() const;
    std::string asText() const;
    void setU32(std::uint32_t v);
    void setText(const std::string &v);
};

enum class WriteResult { Ok, Unknown, ReadOnly, Locked, BadSize, BadValue };

struct LiveViewConfig {
    int width = 640;
    int height = 424;
    int quality = 75;
    int notReadyFrames = 1; ///< frames answered "not ready" after live view starts
};

struct ReleaseConfig {
    bool afFailure = false; ///< an AF release fails to focus
    std::uint64_t rawSize = 1500000;
    std::uint64_t movieSize = 3000000;
    std::string filePrefix = "IMG_";
    std::string moviePrefix = "MVI_";
    std::string folder = "DCIM/100CANON";
};

class Camera {
public:
    std::string id;
    std::string family;
    std::string description;
    std::string portName;
    std::uint32_t subType = 1;
    bool attached = true;
    std::map<std::uint32_t, Property> properties;
    std::vector<std::shared_ptr<Volume>> volumes;
    LiveViewConfig liveView;
    ReleaseConfig release;
    int pictureWidth = 1200;
    int pictureHeight = 800;
    std::int64_t clockOffset = 0; ///< camera time minus host local time, seconds
    bool powerZoom = false;
    std::uint32_t nextFileNumber = 1;

    // Conditions set by the control API.
    std::int32_t busyCalls = 0; ///< calls still answered busy (-1: until cleared)
    std::optional<std::uint64_t> unplugAfterBytes;

    Property *property(std::uint32_t propertyId);
    /// Checks and stores a write; strings longer than the capacity are cut to it.
    WriteResult write(std::uint32_t propertyId, std::int32_t param, const void *data, std::size_t size);
    /// Consumes one busy call; true when this call must be answered busy.
    bool takeBusy();
    /// Camera time now, seconds since 1970.
    std::int64_t now() const;
    /// The number of the next file the camera makes; counts on (after 9999 comes 1).
    std::uint32_t takeFileNumber();
    /// Scans the volumes for the highest file number so that new files continue after it.
    void updateNextFileNumber();
};

/// Seconds since 1970 of a "YYYY-MM-DDTHH:MM:SS" text (no zone: it is the camera's local
/// time); empty when malformed.
std::optional<std::int64_t> parseTime(const std::string &text);
/// Host local time as seconds since 1970 counted in local time.
std::int64_t hostLocalNow();
/// Breaks seconds since 1970 into year, month (1-12), day, hour, minute, second.
void splitTime(std::int64_t seconds, int parts[6]);

} // namespace tbx::sim
