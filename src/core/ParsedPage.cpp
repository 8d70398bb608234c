#include "core/ParsedPage.h"

#include <gumbo.h>

#include <chrono>
#include <csetjmp>
#include <cstddef>
#include <cstdlib>
#include <utility>
#include <vector>

namespace vandrel {

namespace {

// The largest pages within the bounds take gumbo about 5 MB and 30 ms here.
constexpr std::size_t kMaxParseBytes = 16 * 1024 * 1024;
constexpr std::chrono::milliseconds kMaxParseTime{250};

// Every block gumbo takes, so that a parse given up half way frees them all.
struct Block {
  Block* previous;
  Block* next;
  std::size_t size;
  std::max_align_t data[1];
};

struct Budget {
  Block head{&head, &head, 0, {}};
  std::size_t used = 0;
  std::chrono::steady_clock::time_point deadline;
  std::jmp_buf over;

  ~Budget() {
    for (Block* b = head.next; b != &head;) std::free(std::exchange(b, b->next));
  }
};

Block* BlockOf(void* data) {
  return reinterpret_cast<Block*>(static_cast<char*>(data) - offsetof(Block, data));
}

// gumbo asks often (every token and node): the time is checked here too. Leaving
// by longjmp only skips gumbo's own C frames.
void* Allocate(void* userdata, size_t size) {
  auto* budget = static_cast<Budget*>(userdata);
  budget->used += size;
  auto* block = budget->used <= kMaxParseBytes && std::chrono::steady_clock::now() < budget->deadline
                    ? static_cast<Block*>(std::malloc(offsetof(Block, data) + size))
                    : nullptr;
  if (block == nullptr) std::longjmp(budget->over, 1);
  block->size = size;
  block->previous = &budget->head;
  block->next = budget->head.next;
  budget->head.next->previous = block;
  budget->head.next = block;
  return block->data;
}

void Free(void* userdata, void* data) {
  if (data == nullptr) return;
  Block* block = BlockOf(data);
  static_cast<Budget*>(userdata)->used -= block->size;
  block->previous->next = block->next;
  block->next->previous = block->previous;
  std::free(block);
}

PageShape ShapeOf(const GumboNode* root) {
  PageShape shape;
  for (std::vector<std::pair<const GumboNode*, int>> open{{root, 1}}; !open.empty();) {
    const auto [node, level] = open.back();
    open.pop_back();
    ++shape.elements;
    shape.depth = std::max(shape.depth, level);
    for (unsigned i = 0; i < node->v.element.children.length; ++i) {
      const auto* child = static_cast<const GumboNode*>(node->v.element.children.data[i]);
      if (child->type == GUMBO_NODE_ELEMENT || child->type == GUMBO_NODE_TEMPLATE) open.emplace_back(child, level + 1);
    }
  }
  return shape;
}

}  // namespace

std::optional<PageShape> ParsedPageShape(std::string_view html) {
  Budget budget;
  budget.deadline = std::chrono::steady_clock::now() + kMaxParseTime;
  GumboOptions options = kGumboDefaultOptions;
  options.allocator = Allocate;
  options.deallocator = Free;
  options.userdata = &budget;
  if (setjmp(budget.over) != 0) return std::nullopt;  // the blocks go with the budget
  GumboOutput* output = gumbo_parse_with_options(&options, html.data(), html.size());
  const PageShape shape = ShapeOf(output->root);
  gumbo_destroy_output(&options, output);
  return shape;
}

}  // namespace vandrel
