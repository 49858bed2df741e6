#include "platform/posix/LibraryImports.h"

#include <dlfcn.h>
#include <elf.h>
#include <link.h>

#include <cstddef>
#include <cstdint>

namespace qorv::platform {
namespace {

#if UINTPTR_MAX > 0xFFFFFFFFu
using Rela = Elf64_Rela;
using Rel = Elf64_Rel;
size_t SymbolIndex(uint64_t info) { return ELF64_R_SYM(info); }
#else
using Rela = Elf32_Rela;
using Rel = Elf32_Rel;
size_t SymbolIndex(uint32_t info) { return ELF32_R_SYM(info); }
#endif

struct DynamicTables {
  const ElfW(Sym) * symbols = nullptr;
  const char* strings = nullptr;
  size_t stringsSize = 0;
  const unsigned char* relocations = nullptr;  // DT_RELA or DT_REL
  size_t relocationsSize = 0;
  bool relocationsAreRela = true;
  const unsigned char* pltRelocations = nullptr;  // DT_JMPREL
  size_t pltRelocationsSize = 0;
  bool pltRelocationsAreRela = true;
};

// The loader turns most addresses of the dynamic section into absolute ones where the
// section is writable; where it is not, they stay relative to the load address.
const unsigned char* Address(const link_map& map, ElfW(Addr) value) {
  return reinterpret_cast<const unsigned char*>(value < map.l_addr ? value + map.l_addr : value);
}

bool ReadTables(const link_map& map, DynamicTables& tables) {
  if (map.l_ld == nullptr) return false;
  for (const ElfW(Dyn)* entry = map.l_ld; entry->d_tag != DT_NULL; ++entry) {
    switch (entry->d_tag) {
      case DT_SYMTAB:
        tables.symbols = reinterpret_cast<const ElfW(Sym)*>(Address(map, entry->d_un.d_ptr));
        break;
      case DT_STRTAB:
        tables.strings = reinterpret_cast<const char*>(Address(map, entry->d_un.d_ptr));
        break;
      case DT_STRSZ:
        tables.stringsSize = entry->d_un.d_val;
        break;
      case DT_RELA:
        tables.relocations = Address(map, entry->d_un.d_ptr);
        break;
      case DT_RELASZ:
        tables.relocationsSize = entry->d_un.d_val;
        break;
      case DT_REL:
        tables.relocations = Address(map, entry->d_un.d_ptr);
        tables.relocationsAreRela = false;
        break;
      case DT_RELSZ:
        tables.relocationsSize = entry->d_un.d_val;
        break;
      case DT_JMPREL:
        tables.pltRelocations = Address(map, entry->d_un.d_ptr);
        break;
      case DT_PLTRELSZ:
        tables.pltRelocationsSize = entry->d_un.d_val;
        break;
      case DT_PLTREL:
        tables.pltRelocationsAreRela = entry->d_un.d_val == DT_RELA;
        break;
      default:
        break;
    }
  }
  return tables.symbols != nullptr && tables.strings != nullptr && tables.stringsSize > 0;
}

// Whether a relocation of the table binds an undefined symbol with one of the names.
bool TableImports(const DynamicTables& tables, const unsigned char* table, size_t size, bool rela,
                  std::initializer_list<std::string_view> names) {
  if (table == nullptr) return false;
  const size_t step = rela ? sizeof(Rela) : sizeof(Rel);
  for (size_t at = 0; at + step <= size; at += step) {
    const auto info =
        rela ? reinterpret_cast<const Rela*>(table + at)->r_info : reinterpret_cast<const Rel*>(table + at)->r_info;
    const size_t index = SymbolIndex(info);
    if (index == 0) continue;
    const ElfW(Sym)& symbol = tables.symbols[index];
    if (symbol.st_shndx != SHN_UNDEF || symbol.st_name >= tables.stringsSize) continue;
    const std::string_view name(tables.strings + symbol.st_name);
    for (std::string_view wanted : names) {
      if (name == wanted) return true;
    }
  }
  return false;
}

}  // namespace

bool ImportsAnyOf(const DynamicLibrary& library, std::initializer_list<std::string_view> names) {
  link_map* map = nullptr;
  if (library.NativeHandle() == nullptr || dlinfo(library.NativeHandle(), RTLD_DI_LINKMAP, &map) != 0 ||
      map == nullptr) {
    return true;
  }
  DynamicTables tables;
  if (!ReadTables(*map, tables)) return true;
  return TableImports(tables, tables.relocations, tables.relocationsSize, tables.relocationsAreRela, names) ||
         TableImports(tables, tables.pltRelocations, tables.pltRelocationsSize, tables.pltRelocationsAreRela, names);
}

}  // namespace qorv::platform
