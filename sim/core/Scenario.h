// The scenario file: which virtual cameras are attached, with what cards, files and settings.
// JSON; the format is described in docs/simulator.md.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "EventPump.h"
#include "Model.h"

namespace tbx::sim {

/// What a simulated library tells the scenario reader about its camera family.
struct FamilyProfile {
    std::string family;                                                          ///< "EOS", ...
    std::function<void(Camera &)> defaults;                                      ///< device record, properties
    std::function<std::optional<std::uint32_t>(const std::string &)> propertyId; ///< by name
    std::function<std::optional<std::uint32_t>(const std::string &)> dataType;   ///< by name
    std::function<std::uint32_t(const Item &)> formatOf;                         ///< object-format code of a file
    std::function<std::uint32_t(const std::string &)> storageType;               ///< "SD", "CF", ...
    /// Settles what depends on the device record once the camera is read (may be empty).
    std::function<void(Camera &, bool qualityGiven)> settle;
};

struct Scenario {
    std::vector<std::shared_ptr<Camera>> cameras;
    std::size_t callLogLimit = 100000;
    EventPump::Mode delivery = EventPump::Mode::Thread;
};

class ScenarioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// The camera families of the simulated libraries, as scenario files name them. One scenario
/// serves every library: each takes the cameras of its own families and skips the others'.
inline const std::vector<std::string> kScenarioFamilies = {"EOS", "PowerShot", "PowerShot legacy",
                                                           "PowerShot generation 2"};

/// The one built-in scenario of every library: one EOS camera with a card of JPEG, RAW and movie
/// files. It holds no PowerShot camera: the engine searches the PowerShot families first and the
/// first family that finds a camera ends the search, so one would hide the EOS camera.
const char *builtInScenario();

/// Reads a scenario from JSON text; cameras of another library's family are skipped. Throws ScenarioError with the place and the reason of the
/// first problem ("cameras[0].volumes[0].items[1]: unknown key \"sise\"").
Scenario parseScenario(const std::string &json, const std::vector<const FamilyProfile *> &profiles);

/// One camera from a JSON object (the same form as an entry of "cameras").
std::shared_ptr<Camera> parseCamera(const std::string &json, const std::vector<const FamilyProfile *> &profiles);

/// \a textOrPath is JSON text when its first non-blank character is '{', otherwise the path of
/// a file to read. Throws ScenarioError when the file cannot be read.
std::string scenarioText(const std::string &textOrPath);

} // namespace tbx::sim
