// Placeholder translation unit until the adjuster's model lands.
namespace ostrand {
int AdjusterPlaceholder() { return 0; }
}  // namespace ostrand
