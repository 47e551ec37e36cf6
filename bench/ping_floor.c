/* The floor for a host's start-up: the least a native messaging host can do
 * for one ping.  It reads one frame from stdin (a 4-byte little-endian length,
 * then the body, which it does not look at), writes the host's 58-byte ping
 * reply frame, reads to the end of input and exits 0.  Linked statically, it
 * costs process creation and little else; startup_driver times the host
 * beside it.  Plain C with no library calls beyond read and write. */
#include <stddef.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

/* The prefix (54, little-endian), then the body: 58 bytes. */
static const char kReply[] =
    "\x36\0\0\0"
    "{\"host\":\"com.velmont.qlx\",\"ok\":true,\"version\":\"1.0.7\"}";
_Static_assert(sizeof kReply - 1 == 58, "the ping reply frame is 58 bytes");

/* Reads up to `size` bytes; 0 at the end of input or on a failure. */
static size_t read_some(unsigned char* buffer, size_t size) {
#ifdef _WIN32
  int got = _read(0, buffer, (unsigned)size);
#else
  ssize_t got = read(0, buffer, size);
#endif
  return got > 0 ? (size_t)got : 0;
}

/* Fills `buffer` completely; 0 if the input ended first. */
static int read_exactly(unsigned char* buffer, size_t size) {
  while (size > 0) {
    size_t got = read_some(buffer, size);
    if (got == 0) return 0;
    buffer += got;
    size -= got;
  }
  return 1;
}

static int write_all(const char* bytes, size_t size) {
  while (size > 0) {
#ifdef _WIN32
    int put = _write(1, bytes, (unsigned)size);
#else
    ssize_t put = write(1, bytes, size);
#endif
    if (put <= 0) return 0;
    bytes += put;
    size -= (size_t)put;
  }
  return 1;
}

int main(void) {
  unsigned char buffer[4096];
#ifdef _WIN32
  _setmode(0, _O_BINARY);
  _setmode(1, _O_BINARY);
#endif
  if (!read_exactly(buffer, 4)) return 1;
  size_t length = (size_t)buffer[0] | (size_t)buffer[1] << 8 | (size_t)buffer[2] << 16 |
                  (size_t)buffer[3] << 24;
  while (length > 0) {
    size_t chunk = length < sizeof buffer ? length : sizeof buffer;
    if (!read_exactly(buffer, chunk)) return 1;
    length -= chunk;
  }
  if (!write_all(kReply, sizeof kReply - 1)) return 1;
  while (read_some(buffer, sizeof buffer) > 0) {
  }
  return 0;
}
