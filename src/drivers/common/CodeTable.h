// Conversion tables of the drivers: camera property values against the driver-neutral codes of
// RemoteParamsType (counted from 1, 0 meaning "no value"). Each table serves both directions; a
// value missing from a table converts to the fallback its caller names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <type_traits>

namespace tbx::drivers {

/// One row of a conversion table: the camera's value and the driver-neutral code.
struct CodeRow {
    std::int32_t camera;
    std::uint8_t code;
};

/// The field \p Val of the first row whose field \p Key equals \p key.
template <auto Key, auto Val, std::size_t N>
constexpr auto lookup(const CodeRow (&rows)[N], auto key)
    -> std::optional<std::remove_cvref_t<decltype(rows[0].*Val)>>
{
    for (const CodeRow &row : rows)
        if (row.*Key == key)
            return row.*Val;
    return std::nullopt;
}

/// Camera value to code; \p fallback when the camera value is not in the table.
template <std::size_t N>
constexpr std::uint8_t codeOf(const CodeRow (&rows)[N], std::int64_t camera, std::uint8_t fallback = 0)
{
    for (const CodeRow &row : rows)
        if (row.camera == camera)
            return row.code;
    return fallback;
}

/// Code to camera value; \p fallback when the code is not in the table.
template <std::size_t N>
constexpr std::int32_t cameraOf(const CodeRow (&rows)[N], int code, std::int32_t fallback)
{
    return lookup<&CodeRow::code, &CodeRow::camera>(rows, static_cast<std::uint8_t>(code))
        .value_or(fallback);
}

/// Camera value to code in a table chosen at run time (a family's table).
constexpr std::uint8_t codeOf(std::span<const CodeRow> rows, std::int64_t camera, std::uint8_t fallback = 0)
{
    for (const CodeRow &row : rows)
        if (row.camera == camera)
            return row.code;
    return fallback;
}

/// Code to camera value in a table chosen at run time.
constexpr std::int32_t cameraOf(std::span<const CodeRow> rows, int code, std::int32_t fallback)
{
    for (const CodeRow &row : rows)
        if (row.code == static_cast<std::uint8_t>(code))
            return row.camera;
    return fallback;
}

/// True when the table has a row for \p code.
constexpr bool hasCode(std::span<const CodeRow> rows, int code)
{
    for (const CodeRow &row : rows)
        if (row.code == static_cast<std::uint8_t>(code))
            return true;
    return false;
}

/// True when no two rows share a camera value and no two rows share a code, so the table reads
/// the same both ways.
template <std::size_t N>
constexpr bool oneToOne(const CodeRow (&rows)[N])
{
    for (std::size_t i = 0; i < N; ++i)
        for (std::size_t j = i + 1; j < N; ++j)
            if (rows[i].camera == rows[j].camera || rows[i].code == rows[j].code)
                return false;
    return true;
}

} // namespace tbx::drivers
