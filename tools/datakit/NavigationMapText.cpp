#include "tools/datakit/NavigationMapText.h"

#include <vector>

namespace NavigationMapText
{
bool Parse(const std::string& text, SceneNavigationGrid& grid, std::string& error)
{
    std::vector<std::string> rows;
    size_t at = 0;
    while (at < text.size())
    {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string row = text.substr(at, end - at);
        if (!row.empty() && row.back() == '\r')
            row.pop_back();
        rows.push_back(row);
        at = end + 1;
    }
    std::vector<uint8_t> cells;
    for (size_t y = 0; y < rows.size(); ++y)
    {
        if (rows[y].size() != rows[0].size())
        {
            error = "row " + std::to_string(y) + " has " + std::to_string(rows[y].size()) + " tiles, row 0 has " +
                    std::to_string(rows[0].size());
            return false;
        }
        for (size_t x = 0; x < rows[y].size(); ++x)
        {
            const char c = rows[y][x];
            if (c != '.' && c != '#' && c != '~')
            {
                error = "unknown tile '" + std::string(1, c) + "' at column " + std::to_string(x) + ", row " +
                        std::to_string(y);
                return false;
            }
            cells.push_back(c == '.' ? 1 : c == '#' ? 3 : 0);
        }
    }
    grid.width = rows.empty() ? 0 : uint32_t(rows[0].size());
    grid.height = uint32_t(rows.size());
    grid.cells = std::move(cells);
    return true;
}
} // namespace NavigationMapText
