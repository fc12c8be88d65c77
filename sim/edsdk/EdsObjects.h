// The objects behind the stand-in's references: camera lists, cameras, volumes, directory
// items, streams, live-view images and images, kept in the library's object table.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include "EdsTypes.h"
#include "Model.h"
#include "Objects.h"

namespace tbx::sim::eds {

enum class Kind { List, Camera, Volume, Item, Stream, Evf, Image };

const char *kindName(Kind kind);

struct Object : SimObject {
    explicit Object(Kind k) : kind(k) {}
    const char *kindName() const override { return eds::kindName(kind); }

    Kind kind;
};

/// The reference the host gets for an object.
inline EdsBaseRef handleOf(Object *o) { return static_cast<EdsBaseRef>(referenceOf(o)); }

struct ListObject final : Object {
    ListObject() : Object(Kind::List) {}
    std::vector<std::shared_ptr<Camera>> cameras;
};

struct CameraObject final : Object {
    CameraObject() : Object(Kind::Camera) {}
    std::shared_ptr<Camera> camera;
};

struct VolumeObject final : Object {
    VolumeObject() : Object(Kind::Volume) {}
    std::shared_ptr<Camera> camera;
    std::shared_ptr<Volume> volume;
};

struct ItemObject final : Object {
    ItemObject() : Object(Kind::Item) {}
    std::shared_ptr<Camera> camera;
    std::shared_ptr<Volume> volume; ///< empty for a picture that waits for the host
    std::shared_ptr<Item> item;
};

/// A stream over memory (growing or a caller's fixed buffer), a file, or a caller's callbacks.
struct StreamObject final : Object {
    enum class Type { Memory, Fixed, File, User };

    StreamObject() : Object(Kind::Stream) {}
    ~StreamObject() override;

    Type type = Type::Memory;
    std::vector<std::uint8_t> memory;
    std::uint8_t *fixed = nullptr;
    std::uint64_t fixedSize = 0;
    std::FILE *file = nullptr;
    EdsIStream user{};
    std::uint64_t position = 0;
    std::uint64_t fileLength = 0;
    bool readable = true;
    bool writable = true;

    EdsProgressCallback progress = nullptr;
    EdsInt32 progressOption = 0;
    void *progressContext = nullptr;

    EdsError write(const void *data, std::uint64_t size, std::uint64_t *written);
    EdsError read(void *data, std::uint64_t size, std::uint64_t *got);
    EdsError seek(std::int64_t offset, EdsSeekOrigin origin);
    EdsError length(std::uint64_t *out);
    /// Replaces the whole content of a memory stream (live-view frames), position 0.
    EdsError replace(const std::vector<std::uint8_t> &bytes);
    /// Everything from the start, without moving the position.
    EdsError readAll(std::vector<std::uint8_t> &out);
};

struct EvfObject final : Object {
    EvfObject() : Object(Kind::Evf) {}
    std::vector<SimObject *> held() const override { return {stream}; }
    StreamObject *stream = nullptr; ///< retained
    std::map<std::uint32_t, Property> meta;
};

struct ImageObject final : Object {
    ImageObject() : Object(Kind::Image) {}
    std::vector<SimObject *> held() const override { return {stream}; }
    StreamObject *stream = nullptr; ///< retained
    std::vector<std::uint8_t> bytes;
    int width = 0;
    int height = 0;
};

} // namespace tbx::sim::eds
