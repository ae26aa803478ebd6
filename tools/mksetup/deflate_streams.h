#pragma once
// zlib streams (RFC 1950) made as small as libdeflate's levels allow; any
// zlib inflate reads them. Output depends on the input and level only.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// libdeflate's levels run from 1 to 12; 12 gives the smallest streams.
constexpr int SmallestLevel = 12;

// Throws ToolError when the library cannot be set up.
std::string DeflateZlibStream(const std::string& data, int level);

// Compresses every input on up to jobs threads; result i belongs to input i
// whatever the order the threads finish in. progress(done, total) is called
// after each input, from one thread at a time.
std::vector<std::string> DeflateAll(const std::vector<const std::string*>& inputs, int level, int jobs,
                                    const std::function<void(std::size_t, std::size_t)>& progress);
