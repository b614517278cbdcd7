// Loaded modules through the dynamic loader's list of objects, and the
// executable's path through /proc/self/exe.
#include "platform/module_info.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ansi_code_page.h"
#include "platform/last_error.h"
#include "platform/trace.h"
#include "platform/utf8.h"

namespace win {
namespace {

struct Module {
  std::uintptr_t base = 0;  // start of the lowest loaded segment, page-aligned
  std::uintptr_t end = 0;   // end of the highest loaded segment
  std::string path;         // absolute host path (UTF-8)
  bool executable = false;
};

std::string executable_path() {
  std::vector<char> buf(PATH_MAX);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<std::size_t>(n));
    buf.resize(buf.size() * 2);
  }
}

std::string absolute_path(const char* name) {
  char* real = ::realpath(name, nullptr);
  if (!real) return {};
  std::string out(real);
  std::free(real);
  return out;
}

int collect(dl_phdr_info* info, std::size_t, void* data) {
  auto& modules = *static_cast<std::vector<Module>*>(data);
  std::uintptr_t low = UINTPTR_MAX, high = 0;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const auto& ph = info->dlpi_phdr[i];
    if (ph.p_type != PT_LOAD) continue;
    low = std::min<std::uintptr_t>(low, info->dlpi_addr + ph.p_vaddr);
    high = std::max<std::uintptr_t>(high, info->dlpi_addr + ph.p_vaddr + ph.p_memsz);
  }
  if (low == UINTPTR_MAX) return 0;
  const std::uintptr_t page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  Module m;
  m.base = low & ~(page - 1);
  m.end = high;
  m.executable = modules.empty();  // the loader lists the executable first
  m.path = m.executable ? executable_path() : absolute_path(info->dlpi_name);
  if (!m.path.empty())
    modules.push_back(std::move(m));
  else if (m.executable)
    modules.push_back(std::move(m));  // keep the first slot for the executable
  return 0;
}

std::vector<Module> loaded_modules() {
  std::vector<Module> modules;
  dl_iterate_phdr(collect, &modules);
  return modules;
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool ends_with(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// "x.so" or "x.so.<anything>".
bool is_shared_object_of(std::string_view file, std::string_view stem) {
  std::string so = std::string(stem) + ".so";
  return file == so || (file.size() > so.size() && file.substr(0, so.size() + 1) == so + ".");
}

std::string_view base_name(std::string_view path) {
  auto slash = path.find_last_of('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool name_matches(const Module& m, const std::string& wanted_lower) {
  if (wanted_lower.find_first_of("/\\") != std::string::npos) return lower(m.path) == wanted_lower;
  std::string file = lower(base_name(m.path));
  std::string wanted = wanted_lower;
  if (base_name(wanted).find('.') == std::string::npos) wanted += ".dll";
  if (file == wanted) return true;
  if (ends_with(wanted, ".so")) return is_shared_object_of(file, wanted.substr(0, wanted.size() - 3));
  std::string stem;
  if (ends_with(wanted, ".dll"))
    stem = wanted.substr(0, wanted.size() - 4);
  else if (ends_with(wanted, ".exe"))
    stem = wanted.substr(0, wanted.size() - 4);
  else
    return false;
  if (stem.empty()) return false;
  if (ends_with(wanted, ".exe") && file == stem) return true;
  return is_shared_object_of(file, "lib" + stem) || is_shared_object_of(file, stem);
}

HMODULE handle_of(const Module& m) { return reinterpret_cast<HMODULE>(m.base); }

std::mutex g_loaded_mutex;
std::multimap<std::uintptr_t, void*>& loaded_by_us() {
  static std::multimap<std::uintptr_t, void*> table;
  return table;
}

}  // namespace

HMODULE GetModuleHandleA(LPCSTR lpModuleName) {
  HMODULE found = nullptr;
  auto modules = loaded_modules();
  if (!lpModuleName) {
    if (!modules.empty()) found = handle_of(modules.front());
  } else {
    std::string wanted = lower(lpModuleName);
    for (const Module& m : modules)
      if (!m.path.empty() && name_matches(m, wanted)) {
        found = handle_of(m);
        break;
      }
  }
  if (!found) SetLastError(ERROR_MOD_NOT_FOUND);
  if (trace_enabled()) {
    std::string line = "GetModuleHandleA(";
    if (lpModuleName) {
      line += '"';
      line += lpModuleName;
      line += '"';
    } else {
      line += "NULL";
    }
    trace(line + ") = " + std::to_string(reinterpret_cast<std::uintptr_t>(found)));
  }
  return found;
}

BOOL GetModuleHandleExA(DWORD dwFlags, LPCSTR lpModuleName, HMODULE* phModule) {
  if (!phModule) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *phModule = nullptr;
  if (!(dwFlags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS)) {
    *phModule = GetModuleHandleA(lpModuleName);
    return *phModule ? TRUE : FALSE;
  }
  const auto address = reinterpret_cast<std::uintptr_t>(lpModuleName);
  for (const Module& m : loaded_modules())
    if (address >= m.base && address < m.end) {
      *phModule = handle_of(m);
      return TRUE;
    }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return FALSE;
}

DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  std::string path;
  bool found = false;
  for (const Module& m : loaded_modules())
    if ((hModule == nullptr && m.executable) || (hModule != nullptr && handle_of(m) == hModule)) {
      path = m.path;
      found = !path.empty();
      break;
    }
  if (!found) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  const std::string ansi = utf16_to_ansi(utf8_to_utf16(path));
  DWORD copied = static_cast<DWORD>(std::min<std::size_t>(ansi.size(), nSize));
  if (lpFilename && copied) std::memcpy(lpFilename, ansi.data(), copied);
  DWORD result = copied;
  if (ansi.size() >= nSize) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    result = nSize;
  } else if (lpFilename) {
    lpFilename[copied] = '\0';
  }
  if (trace_enabled()) trace("GetModuleFileNameA(" + std::to_string(nSize) + ") = " + std::to_string(result));
  return result;
}

HMODULE LoadLibraryA(LPCSTR lpLibFileName) {
  if (!lpLibFileName || !*lpLibFileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  void* handle = ::dlopen(lpLibFileName, RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  link_map* map = nullptr;
  if (::dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map) {
    ::dlclose(handle);
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  // The loader's base of this object: find the module whose segments hold
  // its dynamic section.
  const auto dynamic = reinterpret_cast<std::uintptr_t>(map->l_ld);
  for (const Module& m : loaded_modules())
    if (dynamic >= m.base && dynamic < m.end) {
      std::lock_guard lock(g_loaded_mutex);
      loaded_by_us().emplace(m.base, handle);
      return handle_of(m);
    }
  ::dlclose(handle);
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

BOOL FreeLibrary(HMODULE hLibModule) {
  void* handle = nullptr;
  {
    std::lock_guard lock(g_loaded_mutex);
    auto it = loaded_by_us().find(reinterpret_cast<std::uintptr_t>(hLibModule));
    if (it == loaded_by_us().end()) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return FALSE;
    }
    handle = it->second;
    loaded_by_us().erase(it);
  }
  return ::dlclose(handle) == 0 ? TRUE : FALSE;
}

}  // namespace win
