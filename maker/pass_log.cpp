#include "maker/pass_log.h"

#include <utility>

namespace vd {

std::uint8_t* put_number(std::uint8_t* at, std::uint64_t value) {
  while (value >= 0x80) {
    *at++ = static_cast<std::uint8_t>(value | 0x80);
    value >>= 7;
  }
  *at++ = static_cast<std::uint8_t>(value);
  return at;
}

const std::uint8_t* get_number(const std::uint8_t* at, std::uint64_t& value) {
  value = 0;
  for (int shift = 0;; shift += 7) {
    const std::uint8_t byte = *at++;
    value |= static_cast<std::uint64_t>(byte & 0x7f) << shift;
    if (byte < 0x80) return at;
  }
}

const std::uint8_t* get_number(const std::uint8_t* at, std::uint32_t& value) {
  std::uint64_t wide = 0;
  at = get_number(at, wide);
  value = static_cast<std::uint32_t>(wide);
  return at;
}

void PassLog::restart(std::size_t bytes, std::span<std::uint8_t> lent) {
  previous_ = Pass{};
  current_ = Pass{};
  spare_.clear();
  allocated_.clear();
  for (std::size_t at = 0; lent.size() - at >= kChunkBytes; at += kChunkBytes) spare_.push_back(lent.data() + at);
  readChunk_ = readOffset_ = 0;
  chunksLeft_ = bytes / kChunkBytes;
}

void PassLog::start_pass() {
  release(previous_);
  previous_ = std::move(current_);
  current_ = Pass{};
  readChunk_ = readOffset_ = 0;
}

void PassLog::release(Pass& pass) {
  for (const Chunk chunk : pass.chunks)
    if (chunk != nullptr) spare_.push_back(chunk);
  pass = Pass{};
}

PassLog::Chunk PassLog::take_chunk() {
  if (!spare_.empty()) {
    const Chunk chunk = spare_.back();
    spare_.pop_back();
    return chunk;
  }
  if (chunksLeft_ == 0) return nullptr;
  allocated_.emplace_back(static_cast<std::uint8_t*>(alloc_(kChunkBytes, 1)));
  const Chunk chunk = allocated_.back().get();
  chunksLeft_ = chunk != nullptr ? chunksLeft_ - 1 : 0;
  return chunk;
}

std::uint8_t* PassLog::room(std::size_t most) {
  if (current_.chunks.empty() || current_.used.back() + most > kChunkBytes) {
    const Chunk chunk = take_chunk();
    if (chunk == nullptr) return nullptr;
    current_.chunks.push_back(chunk);
    current_.used.push_back(0);
  }
  return current_.chunks.back() + current_.used.back();
}

// A chunk read to its end goes to the pass that writes.
const std::uint8_t* PassLog::next() {
  while (readChunk_ < previous_.chunks.size() && readOffset_ == previous_.used[readChunk_]) {
    spare_.push_back(std::exchange(previous_.chunks[readChunk_], nullptr));
    ++readChunk_;
    readOffset_ = 0;
  }
  if (readChunk_ == previous_.chunks.size()) return nullptr;
  return previous_.chunks[readChunk_] + readOffset_;
}

}  // namespace vd
