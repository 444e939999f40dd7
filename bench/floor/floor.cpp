// SPDX-License-Identifier: Apache-2.0
// The floor for a command-line encode: read a 24-bit BMP once, change bit 0
// of every blue byte (XOR a cheap keystream bit, as an encode rewrites every
// pixel's lowest blue bit), and write the file once as the safe writer does
// (write, fsync, rename). No Qt, no checks beyond what the work needs: what
// ostrel-cli encode costs above this is the price of everything else.
//
//   bench_floor encode IN.bmp OUT.bmp
//   bench_floor make WIDTH HEIGHT OUT.bmp     (a noisy 24-bit BMP to time on)
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void fail(const char* what, const std::string& path)
{
    std::fprintf(stderr, "bench_floor: %s %s: %s\n", what, path.c_str(), std::strerror(errno));
    std::exit(1);
}

uint32_t u32At(const uint8_t* at) { return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24; }

void putU32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = uint8_t(value >> (8 * i));
}

// Fresh memory on large pages where the system gives them, made present in
// one call: on a virtual machine every 4 KiB page costs a fault and a
// nested translation, which would make the floor slower than it need be.
uint8_t* allocate(size_t size)
{
    constexpr size_t kLargePage = size_t(2) << 20;
    void* memory = std::aligned_alloc(kLargePage, (size + kLargePage - 1) / kLargePage * kLargePage);
    if (!memory) {
        errno = ENOMEM;
        fail("cannot allocate for", "the file");
    }
    ::madvise(memory, (size + kLargePage - 1) / kLargePage * kLargePage, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
    const uintptr_t page = uintptr_t(::sysconf(_SC_PAGESIZE));
    const uintptr_t begin = (uintptr_t(memory) + page - 1) & ~(page - 1);
    const uintptr_t end = (uintptr_t(memory) + size) & ~(page - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#endif
    return static_cast<uint8_t*>(memory);
}

// Write, flush to disk, then take the name: a sibling temporary file.
void writeAtomically(const std::string& path, const uint8_t* data, size_t size)
{
    const std::string temporary = path + ".floor.tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        fail("cannot create", temporary);
    for (size_t done = 0; done < size;) {
        const ssize_t written = ::write(fd, data + done, size - done);
        if (written < 0 && errno != EINTR)
            fail("cannot write", temporary);
        done += written > 0 ? size_t(written) : 0;
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0)
        fail("cannot flush", temporary);
    if (::rename(temporary.c_str(), path.c_str()) != 0)
        fail("cannot rename to", path);
}

int encode(const std::string& in, const std::string& out)
{
    const int fd = ::open(in.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0)
        fail("cannot open", in);
    const size_t size = size_t(info.st_size);
    uint8_t* file = allocate(size);
    for (size_t done = 0; done < size;) {
        const ssize_t count = ::pread(fd, file + done, size - done, off_t(done));
        if (count <= 0 && errno != EINTR)
            fail("cannot read", in);
        done += count > 0 ? size_t(count) : 0;
    }
    ::close(fd);
    if (size < 54 || file[0] != 'B' || file[1] != 'M' || file[28] != 24) {
        std::fprintf(stderr, "bench_floor: %s is not an uncompressed 24-bit BMP\n", in.c_str());
        return 1;
    }
    const size_t offset = u32At(file + 10);
    const size_t width = u32At(file + 18), height = size_t(int32_t(u32At(file + 22)) < 0 ? -int32_t(u32At(file + 22)) : int32_t(u32At(file + 22)));
    const size_t stride = (width * 3 + 3) & ~size_t(3);
    if (offset + stride * height > size) {
        std::fprintf(stderr, "bench_floor: %s is shorter than its pixels\n", in.c_str());
        return 1;
    }
    // xorshift64: one keystream word gives the bits of 64 pixels.
    uint64_t state = 0x9E3779B97F4A7C15ull;
    uint64_t bits = 0;
    int left = 0;
    for (size_t y = 0; y < height; ++y) {
        uint8_t* row = file + offset + y * stride;
        for (size_t x = 0; x < width; ++x) {
            if (left == 0) {
                state ^= state << 13;
                state ^= state >> 7;
                state ^= state << 17;
                bits = state;
                left = 64;
            }
            row[3 * x] ^= uint8_t(bits & 1);
            bits >>= 1;
            --left;
        }
    }
    writeAtomically(out, file, size);
    std::free(file);
    return 0;
}

int make(size_t width, size_t height, const std::string& out)
{
    const size_t stride = (width * 3 + 3) & ~size_t(3);
    const size_t size = 54 + stride * height;
    std::vector<uint8_t> file(size, 0);
    file[0] = 'B';
    file[1] = 'M';
    putU32(&file[2], uint32_t(size));
    putU32(&file[10], 54);
    putU32(&file[14], 40);
    putU32(&file[18], uint32_t(width));
    putU32(&file[22], uint32_t(height));
    file[26] = 1;
    file[28] = 24;
    putU32(&file[34], uint32_t(stride * height));
    // Smooth gradients with noise, so colour counts look like a photograph's.
    uint64_t state = 88172645463325252ull;
    for (size_t y = 0; y < height; ++y)
        for (size_t x = 0; x < width; ++x) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            uint8_t* pixel = &file[54 + y * stride + 3 * x];
            pixel[0] = uint8_t(x * 255 / width + (state & 7));
            pixel[1] = uint8_t(y * 255 / height + (state >> 3 & 7));
            pixel[2] = uint8_t((x + y) * 127 / (width + height) + (state >> 6 & 15));
        }
    writeAtomically(out, file.data(), size);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "encode") == 0)
        return encode(argv[2], argv[3]);
    if (argc == 5 && std::strcmp(argv[1], "make") == 0)
        return make(std::strtoul(argv[2], nullptr, 10), std::strtoul(argv[3], nullptr, 10), argv[4]);
    std::fprintf(stderr, "usage: bench_floor encode IN.bmp OUT.bmp | make WIDTH HEIGHT OUT.bmp\n");
    return 2;
}
