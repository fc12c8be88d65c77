// The pieces of the simulator core that every stand-in builds on, below any SDK's exports: the
// object table behind the host's references, the unplug byte count and new-file naming.
#include <gtest/gtest.h>

#include "Library.h"

using namespace tbx::sim;

namespace {

int freed = 0;

struct Thing : SimObject {
    ~Thing() override { ++freed; }
    const char *kindName() const override { return "thing"; }
    std::vector<SimObject *> held() const override { return {inner}; }
    SimObject *inner = nullptr;
};

TEST(SimCoreObjects, ReleaseFreesAtZeroWithWhatItHoldsAndRefusesStaleReferences) {
    freed = 0;
    ObjectTable table;
    Thing *inner = table.adopt(new Thing);
    Thing *outer = table.adopt(new Thing);
    outer->inner = inner;
    ++inner->refs;  // the outer one holds a reference; the host keeps its own
    EXPECT_EQ(table.describe(referenceOf(outer)), "thing#2");
    EXPECT_EQ(table.describe(nullptr), "null");
    int foreign = 0;
    EXPECT_EQ(table.find(&foreign), nullptr);
    EXPECT_EQ(table.describe(&foreign), "invalid");

    ++outer->refs;
    EXPECT_EQ(table.release(outer), 1u);
    EXPECT_EQ(table.release(outer), 0u);
    EXPECT_EQ(freed, 1);
    EXPECT_EQ(table.liveCount(), 1u);  // the inner one lives on with the host's reference
    EXPECT_EQ(table.find(referenceOf(inner)), inner);
    EXPECT_EQ(table.release(inner), 0u);
    EXPECT_EQ(freed, 2);
    EXPECT_EQ(table.find(referenceOf(inner)), nullptr);

    // A holder released after what it holds is gone does not touch the freed object.
    Thing *lone = table.adopt(new Thing);
    Thing *holder = table.adopt(new Thing);
    holder->inner = lone;
    table.release(lone);
    table.release(holder);
    EXPECT_EQ(freed, 4);
    EXPECT_EQ(table.liveCount(), 0u);
}

class OneFamily final : public SimLibrary {
public:
    OneFamily() : SimLibrary({&profile()}) {}
    static const FamilyProfile &profile() {
        static const FamilyProfile p = [] {
            FamilyProfile f;
            f.family = "EOS";
            f.formatOf = [](const Item &item) { return item.kind == ItemKind::Raw ? 0xB103u : 0x3801u; };
            return f;
        }();
        return p;
    }
    int detached = 0;

protected:
    void camerasReplaced() override {}
    void cameraAttached(const std::shared_ptr<Camera> &) override {}
    void cameraDetached(const std::shared_ptr<Camera> &) override { ++detached; }
    std::uint32_t fireEventOn(const std::shared_ptr<Camera> &, std::uint32_t, std::uint32_t) override { return 0; }
    std::uint32_t releaseOn(const std::shared_ptr<Camera> &) override { return 0; }
    void propertyChangedByCamera(const std::shared_ptr<Camera> &, std::uint32_t) override {}
};

TEST(SimCoreLibrary, TheCableGoesWhenTheCountReachesTheLimit) {
    OneFamily lib;
    auto camera = std::make_shared<Camera>();
    EXPECT_FALSE(lib.bytesBeforeUnplug(camera, 1u << 30));  // no condition: everything passes
    camera->unplugAfterBytes = 1000;
    EXPECT_FALSE(lib.bytesBeforeUnplug(camera, 400));
    EXPECT_EQ(lib.bytesBeforeUnplug(camera, 700), std::optional<std::uint64_t>(600));
    camera->unplugAfterBytes = 300;
    EXPECT_TRUE(lib.carries(camera, 299));
    EXPECT_EQ(lib.detached, 0);
    EXPECT_FALSE(lib.carries(camera, 1));  // exactly the rest: gone
    EXPECT_EQ(lib.detached, 1);
    EXPECT_FALSE(camera->attached);
}

TEST(SimCoreLibrary, NewFilesCountOnAfter9999WithTheFamilysFormat) {
    OneFamily lib;
    Camera camera;
    camera.family = "EOS";
    camera.nextFileNumber = 9999;
    const std::uint32_t number = camera.takeFileNumber();
    EXPECT_EQ(camera.nextFileNumber, 1u);
    auto raw = lib.newFile(camera, "IMG_", number, "CR3", ItemKind::Raw, 5000, 0, 0);
    EXPECT_EQ(raw->name, "IMG_9999.CR3");
    EXPECT_EQ(raw->groupId, 9999u);
    EXPECT_EQ(raw->format, 0xB103u);
    EXPECT_EQ(lib.newFile(camera, "MVI_", camera.takeFileNumber(), "MP4", ItemKind::Movie, 1, 0, 0)->name, "MVI_0001.MP4");
}

}  // namespace
