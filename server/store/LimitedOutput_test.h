#pragma once
// An output stream that accepts a fixed number of bytes and then fails, to drive
// the write-failure paths of the record writers.
#include <ostream>
#include <streambuf>
#include <string>

class LimitedOutput {
 public:
  explicit LimitedOutput(std::size_t limit) : buffer_(limit), stream_(&buffer_) {}
  std::ostream& Stream() { return stream_; }
  const std::string& Written() const { return buffer_.written; }

 private:
  struct Buffer : std::streambuf {
    explicit Buffer(std::size_t bytes) : limit(bytes) {}
    int_type overflow(int_type c) override {
      if (traits_type::eq_int_type(c, traits_type::eof()) || written.size() >= limit) return traits_type::eof();
      written += traits_type::to_char_type(c);
      return c;
    }
    std::size_t limit;
    std::string written;
  };
  Buffer buffer_;
  std::ostream stream_;
};
