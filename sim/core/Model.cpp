#include "Model.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "Content.h"

namespace tbx::sim {

namespace {

std::string upper(std::string s)
{
    for (auto &c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string extensionOf(const std::string &name)
{
    auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : upper(name.substr(dot + 1));
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::uint32_t numberIn(const std::string &name)
{
    std::uint32_t n = 0;
    bool digits = false;
    for (char c : name) {
        if (c == '.')
            break;
        if (std::isdigit(static_cast<unsigned char>(c))) {
            n = n * 10 + static_cast<std::uint32_t>(c - '0');
            digits = true;
            if (n > 100000000)
                return 0;
        } else if (digits) {
            n = 0;
            digits = false;
        }
    }
    return n;
}

void collectNumbers(const std::vector<std::shared_ptr<Item>> &items, std::uint32_t &highest)
{
    for (const auto &item : items) {
        if (item->isFolder())
            collectNumbers(item->children, highest);
        else
            highest = std::max(highest, numberIn(item->name));
    }
}

} // namespace

ItemKind kindOfName(const std::string &name)
{
    const std::string ext = extensionOf(name);
    if (ext == "JPG" || ext == "JPEG")
        return ItemKind::Jpeg;
    if (ext == "CR2" || ext == "CR3" || ext == "CRW" || ext == "RAW")
        return ItemKind::Raw;
    if (ext == "MP4" || ext == "MOV" || ext == "AVI")
        return ItemKind::Movie;
    return ItemKind::Other;
}

const std::vector<std::uint8_t> &Item::content()
{
    if (!content_) {
        const std::uint32_t seed = seedOf(name);
        switch (kind) {
        case ItemKind::Jpeg:
            content_ = std::make_shared<std::vector<std::uint8_t>>(encodeJpeg(
                testPattern(width, height, seed, seed % 64, name), 85, static_cast<std::size_t>(requestedSize)));
            break;
        case ItemKind::Raw:
            content_ = std::make_shared<std::vector<std::uint8_t>>(
                rawFileBytes(requestedSize, seed, extensionOf(name) == "CR3"));
            break;
        case ItemKind::Movie:
            content_ = std::make_shared<std::vector<std::uint8_t>>(movieFileBytes(requestedSize, seed));
            break;
        case ItemKind::Other:
            content_ = std::make_shared<std::vector<std::uint8_t>>(rawFileBytes(requestedSize, seed, false));
            break;
        case ItemKind::Folder:
            content_ = std::make_shared<std::vector<std::uint8_t>>();
            break;
        }
    }
    return *content_;
}

const std::vector<std::uint8_t> &Item::thumbnail()
{
    if (!thumbnail_) {
        const std::uint32_t seed = seedOf(name);
        thumbnail_ = std::make_shared<std::vector<std::uint8_t>>(
            encodeJpeg(testPattern(160, 120, seed, seed % 64, name), 80));
    }
    return *thumbnail_;
}

std::uint64_t Item::size()
{
    if (kind == ItemKind::Folder)
        return 0;
    if (kind == ItemKind::Jpeg)
        return content().size();
    return requestedSize;
}

std::uint64_t Item::totalSize()
{
    if (kind != ItemKind::Folder)
        return size();
    std::uint64_t sum = 0;
    for (auto &child : children)
        sum += child->totalSize();
    return sum;
}

std::uint64_t Volume::usedBytes() const
{
    std::uint64_t sum = 0;
    for (const auto &item : items)
        sum += item->totalSize();
    return sum;
}

std::uint64_t Volume::freeBytes() const
{
    const std::uint64_t used = usedBytes();
    return used >= capacity ? 0 : capacity - used;
}

std::shared_ptr<Item> Volume::folder(const std::string &path, bool create)
{
    std::vector<std::shared_ptr<Item>> *level = &items;
    std::shared_ptr<Item> current;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        std::string name = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        start = slash == std::string::npos ? path.size() + 1 : slash + 1;
        if (name.empty())
            continue;
        auto it = std::find_if(level->begin(), level->end(),
                               [&](const auto &item) { return item->isFolder() && item->name == name; });
        if (it == level->end()) {
            if (!create)
                return nullptr;
            auto made = std::make_shared<Item>();
            made->name = name;
            made->kind = ItemKind::Folder;
            made->parent = current;
            level->push_back(made);
            it = level->end() - 1;
        }
        current = *it;
        level = &current->children;
    }
    return current;
}

Property Property::u32(std::uint32_t type, std::uint32_t v, bool writable)
{
    Property p;
    p.type = type;
    p.value.resize(4);
    std::memcpy(p.value.data(), &v, 4);
    p.writable = writable;
    return p;
}

Property Property::i32(std::uint32_t type, std::int32_t v, bool writable)
{
    return u32(type, static_cast<std::uint32_t>(v), writable);
}

Property Property::string(std::uint32_t type, const std::string &v, std::size_t maxSize, bool writable)
{
    Property p;
    p.type = type;
    p.text = true;
    p.maxSize = maxSize;
    p.writable = writable;
    p.setText(v);
    return p;
}

Property Property::block(std::uint32_t type, std::vector<std::uint8_t> bytes, bool writable)
{
    Property p;
    p.type = type;
    p.value = std::move(bytes);
    p.writable = writable;
    return p;
}

Property &Property::list(std::vector<std::int32_t> values, bool offered)
{
    allowed = std::move(values);
    hasDesc = offered;
    return *this;
}

std::uint32_t Property::asU32() const
{
    std::uint32_t v = 0;
    std::memcpy(&v, value.data(), std::min<std::size_t>(value.size(), 4));
    return v;
}

std::string Property::asText() const
{
    return std::string(reinterpret_cast<const char *>(value.data()),
                       strnlen(reinterpret_cast<const char *>(value.data()), value.size()));
}

void Property::setU32(std::uint32_t v)
{
    value.resize(4);
    std::memcpy(value.data(), &v, 4);
}

void Property::setText(const std::string &v)
{
    std::string cut = v;
    if (maxSize > 0 && cut.size() + 1 > maxSize)
        cut.resize(maxSize - 1);
    value.assign(cut.begin(), cut.end());
    value.push_back(0);
}

Property *Camera::property(std::uint32_t propertyId)
{
    auto it = properties.find(propertyId);
    return it == properties.end() ? nullptr : &it->second;
}

WriteResult Camera::write(std::uint32_t propertyId, std::int32_t param, const void *data, std::size_t size)
{
    Property *p = property(propertyId);
    if (p == nullptr)
        return WriteResult::Unknown;
    if (p->unlockKey != 0 && !p->unlocked)
        return WriteResult::Locked;
    if (!p->writable)
        return WriteResult::ReadOnly;
    const auto *bytes = static_cast<const std::uint8_t *>(data);
    if (p->text) {
        if (size == 0)
            return WriteResult::BadSize;
        p->setText(
            std::string(reinterpret_cast<const char *>(bytes), strnlen(reinterpret_cast<const char *>(bytes), size)));
        return WriteResult::Ok;
    }
    std::vector<std::uint8_t> &target = (param != 0 && p->byParam.count(param)) ? p->byParam[param] : p->value;
    if (size != target.size())
        return WriteResult::BadSize;
    if (size >= 4) {
        for (std::size_t i = 0; i + 4 <= size; i += 4) {
            std::int32_t word;
            std::memcpy(&word, bytes + i, 4);
            if (!p->allowed.empty() && std::find(p->allowed.begin(), p->allowed.end(), word) == p->allowed.end())
                return WriteResult::BadValue;
            if (p->range && (word < p->range->first || word > p->range->second))
                return WriteResult::BadValue;
        }
    }
    target.assign(bytes, bytes + size);
    return WriteResult::Ok;
}

bool Camera::takeBusy()
{
    if (busyCalls == 0)
        return false;
    if (busyCalls > 0)
        --busyCalls;
    return true;
}

std::int64_t Camera::now() const { return hostLocalNow() + clockOffset; }

std::uint32_t Camera::takeFileNumber()
{
    const std::uint32_t number = nextFileNumber;
    nextFileNumber = number >= 9999 ? 1 : number + 1;
    return number;
}

void Camera::updateNextFileNumber()
{
    std::uint32_t highest = 0;
    for (const auto &volume : volumes)
        collectNumbers(volume->items, highest);
    nextFileNumber = std::max(nextFileNumber, highest + 1);
    if (nextFileNumber > 9999)
        nextFileNumber = 1;
}

std::optional<std::int64_t> parseTime(const std::string &text)
{
    int y, mo, d, h, mi, s;
    char sep;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d", &y, &mo, &d, &sep, &h, &mi, &s) != 7)
        return std::nullopt;
    if ((sep != 'T' && sep != ' ') || y < 1970 || y > 2099 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 ||
        mi > 59 || s > 59 || h < 0 || mi < 0 || s < 0)
        return std::nullopt;
    return daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400 + h * 3600 + mi * 60 + s;
}

std::int64_t hostLocalNow()
{
    std::time_t t = std::time(nullptr);
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    return daysFromCivil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                         static_cast<unsigned>(local.tm_mday)) *
               86400 +
           local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
}

void splitTime(std::int64_t seconds, int parts[6])
{
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    // Civil date from days since 1970 (inverse of daysFromCivil).
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    parts[0] = static_cast<int>(y + (m <= 2));
    parts[1] = static_cast<int>(m);
    parts[2] = static_cast<int>(d);
    parts[3] = static_cast<int>(rest / 3600);
    parts[4] = static_cast<int>(rest % 3600 / 60);
    parts[5] = static_cast<int>(rest % 60);
}

} // namespace tbx::sim
