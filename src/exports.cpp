// Anchor of the shared library; the exported functions live in the subsystems.
namespace qvo_exports_anchor {}
