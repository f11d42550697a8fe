// The Python player shim: CPython embedded in a player library, playing a
// Python module through the five entry points (see player_shim.h).
#define PY_SSIZE_T_CLEAN
#include "player_shim.h"

#include <Python.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "PsComm.h"
#include "error.h"

namespace {

// Run once in a namespace of its own: imports the player's module from its
// path, with its folder first on sys.path. print() goes to stderr, since
// the referee's console is the referee's.
const char* const kLoader = R"PY(
import importlib.util, os, sys
from types import SimpleNamespace as Info

def load(path, packages):
    sys.stdout = sys.stderr
    sys.path.insert(0, os.path.dirname(os.path.abspath(path)))
    if os.path.isdir(packages) and packages not in sys.path:
        sys.path.append(packages)
    name = os.path.splitext(os.path.basename(path))[0]
    found = importlib.util.spec_from_file_location(name, path)
    if found is None:
        raise ImportError("not a Python module: " + path)
    module = importlib.util.module_from_spec(found)
    sys.modules[name] = module
    found.loader.exec_module(module)
    return module
)PY";

enum Function { kInit, kGetTurn, kOppTurn, kEndRound, kDone, kFunctions };
const char* const kNames[kFunctions] = {"init", "get_turn", "opp_turn", "end_round", "done"};

struct PythonPlayer {
  std::string file;
  PyObject* functions[kFunctions] = {};
  PyObject* info = nullptr;  // the class of init's argument
  int32_t num_holes = PS_MAX_HOLES;
  bool loaded = false;
};
PythonPlayer Player;

void Copy(char* out, size_t size, const std::string& text) {
  if (size == 0) return;
  const size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

void FlushPythonStderr() {
  PyObject* err = PySys_GetObject("stderr");  // borrowed
  if (err != nullptr && err != Py_None) {
    PyObject* r = PyObject_CallMethod(err, "flush", nullptr);
    Py_XDECREF(r);
  }
  PyErr_Clear();
}

// The traceback from the player's first frame on: the loader's and the
// import machinery's frames (files named "<...>") are not the player's.
PyObject* PlayerFrames(PyObject* trace) {
  while (trace != nullptr && trace != Py_None) {
    PyObject* file = nullptr;
    PyObject* frame = PyObject_GetAttrString(trace, "tb_frame");
    PyObject* code = frame != nullptr ? PyObject_GetAttrString(frame, "f_code") : nullptr;
    file = code != nullptr ? PyObject_GetAttrString(code, "co_filename") : nullptr;
    const char* name = file != nullptr ? PyUnicode_AsUTF8(file) : nullptr;
    const bool ours = name != nullptr && name[0] == '<';
    Py_XDECREF(file);
    Py_XDECREF(code);
    Py_XDECREF(frame);
    PyErr_Clear();
    if (!ours) return trace;
    PyObject* next = PyObject_GetAttrString(trace, "tb_next");  // new reference
    Py_DECREF(next);  // the chain holds it while trace lives
    trace = next;
  }
  return nullptr;
}

// Writes the pending exception with its traceback on stderr, clears it and
// answers its one-line summary. SystemExit is shown like any other, never
// acted on.
std::string ShowException() {
  PyObject *type = nullptr, *value = nullptr, *trace = nullptr;
  PyErr_Fetch(&type, &value, &trace);
  PyErr_NormalizeException(&type, &value, &trace);
  std::string summary = type != nullptr ? reinterpret_cast<PyTypeObject*>(type)->tp_name : "error";
  if (value != nullptr) {
    PyObject* shown = PlayerFrames(trace);
    PyException_SetTraceback(value, shown != nullptr ? shown : Py_None);
    PyObject* text = PyObject_Str(value);
    const char* utf8 = text != nullptr ? PyUnicode_AsUTF8(text) : nullptr;
    if (utf8 != nullptr && utf8[0] != '\0') summary += std::string(": ") + utf8;
    Py_XDECREF(text);
    PyErr_Clear();
    PyErr_Display(type, value, shown);
  }
  Py_XDECREF(type);
  Py_XDECREF(value);
  Py_XDECREF(trace);
  FlushPythonStderr();
  return summary;
}

// The player's fault in one of its functions: the report and the traceback
// on stderr, then SIGABRT, which whoever runs the player reports as a crash
// of this player in this call.
[[noreturn]] void Fault(Function f) {
  std::fprintf(stderr, "pitsow: Python player %s failed in %s:\n", Player.file.c_str(), kNames[f]);
  if (PyErr_Occurred()) ShowException();
  std::fflush(nullptr);
  std::abort();
}

[[noreturn]] void WrongType(Function f, PyObject* answer, const char* wanted) {
  PyErr_Format(PyExc_TypeError, "%s returned %.100s, not %s", kNames[f], Py_TYPE(answer)->tp_name,
               wanted);
  Fault(f);
}

// libpython is a dependency of this library, loaded privately with it;
// extension modules (the standard library's and pitsow's own) expect its
// symbols to be global.
void MakePythonGlobal() {
  Dl_info where{};
  if (dladdr(reinterpret_cast<void*>(&Py_InitializeEx), &where) != 0 && where.dli_fname != nullptr)
    dlopen(where.dli_fname, RTLD_NOW | RTLD_GLOBAL | RTLD_NOLOAD);
}

// Starts the interpreter the shim was built against, whatever python3
// comes first on PATH: left to itself, CPython takes its prefix from the
// first python3 on PATH (a pyenv's, a virtual environment's), whose
// standard library may not match this libpython or, sandboxed, not be
// readable. The process's signal handlers are left alone.
std::optional<Error> StartPython() {
  PyConfig config;
  PyConfig_InitPythonConfig(&config);
  config.install_signal_handlers = 0;
  config.parse_argv = 0;
  PyStatus status = PyConfig_SetBytesString(&config, &config.home, PITSOW_PYTHON_HOME);
  if (!PyStatus_Exception(status))
    status = PyConfig_SetBytesString(&config, &config.program_name, PITSOW_PYTHON_PROGRAM);
  if (!PyStatus_Exception(status)) status = Py_InitializeFromConfig(&config);
  PyConfig_Clear(&config);
  if (!PyStatus_Exception(status)) return std::nullopt;
  return Error{std::string("cannot start Python (home ") + PITSOW_PYTHON_HOME +
               "): " + (status.err_msg != nullptr ? status.err_msg : "unknown error")};
}

// Where the pitsow package is installed, relative to this library.
std::string PackagesFolder() {
  Dl_info where{};
  if (dladdr(reinterpret_cast<void*>(&PsPythonLoad), &where) == 0 || where.dli_fname == nullptr)
    return "";
  std::string path = where.dli_fname;
  const size_t slash = path.rfind('/');
  path = slash == std::string::npos ? "." : path.substr(0, slash);
  return path + "/../lib/python3/dist-packages";
}

// Imports the module and finds its five functions.
std::optional<Error> Import(const char* path) {
  PyObject* globals = PyDict_New();
  if (globals == nullptr) return Error{ShowException()};
  PyDict_SetItemString(globals, "__builtins__", PyEval_GetBuiltins());
  PyObject* ran = PyRun_String(kLoader, Py_file_input, globals, globals);
  if (ran == nullptr) return Error{ShowException()};
  Py_DECREF(ran);
  Player.info = PyDict_GetItemString(globals, "Info");
  Py_XINCREF(Player.info);
  PyObject* load = PyDict_GetItemString(globals, "load");  // borrowed
  PyObject* module = PyObject_CallFunction(load, "ss", path, PackagesFolder().c_str());
  Py_DECREF(globals);
  if (module == nullptr) return Error{"cannot import it: " + ShowException()};
  for (int f = 0; f < kFunctions; ++f) {
    PyObject* fn = PyObject_GetAttrString(module, kNames[f]);
    if (fn == nullptr || !PyCallable_Check(fn)) {
      PyErr_Clear();
      Py_XDECREF(fn);
      Py_DECREF(module);
      return Error{std::string("function ") + kNames[f] + " missing"};
    }
    Player.functions[f] = fn;
  }
  Py_DECREF(module);
  return std::nullopt;
}

PyObject* Call(Function f, PyObject* const* args, size_t count) {
  PyObject* answer = PyObject_Vectorcall(Player.functions[f], args, count, nullptr);
  if (answer == nullptr) Fault(f);
  return answer;
}

// A new reference to an int, or the player's fault.
PyObject* Int(Function f, long v) {
  PyObject* o = PyLong_FromLong(v);
  if (o == nullptr) Fault(f);
  return o;
}

// Hole i of a row at [i - 1], as a list of the match's holes.
PyObject* Row(const int32_t* row) {
  PyObject* list = PyList_New(Player.num_holes);
  if (list == nullptr) Fault(kGetTurn);
  for (int32_t i = 0; i < Player.num_holes; ++i) PyList_SET_ITEM(list, i, Int(kGetTurn, row[i]));
  return list;
}

// The answer of get_turn: an int (or anything with __index__, but not a
// bool) within 32 bits.
int32_t HoleOf(PyObject* answer) {
  if (PyBool_Check(answer) || !PyIndex_Check(answer)) WrongType(kGetTurn, answer, "an int");
  PyObject* index = PyNumber_Index(answer);
  if (index == nullptr) Fault(kGetTurn);
  int overflow = 0;
  const long v = PyLong_AsLongAndOverflow(index, &overflow);
  Py_DECREF(index);
  if (overflow != 0 || v < INT32_MIN || v > INT32_MAX) {
    PyErr_SetString(PyExc_OverflowError, "get_turn returned an int outside 32 bits");
    Fault(kGetTurn);
  }
  return static_cast<int32_t>(v);
}

void SetField(PyObject* fields, const char* key, PyObject* value) {
  if (value == nullptr || PyDict_SetItemString(fields, key, value) != 0) Fault(kInit);
  Py_DECREF(value);
}

PyObject* NumberOrNone(bool readable, int32_t v) {
  if (readable) return Int(kInit, v);
  Py_INCREF(Py_None);
  return Py_None;
}

// The info object init receives.
PyObject* MakeInfo(const PsInfo* record, bool numbers) {
  PyObject* fields = PyDict_New();
  if (fields == nullptr) Fault(kInit);
  SetField(fields, "Size", Int(kInit, record->Size));
  SetField(fields, "MaxVer", NumberOrNone(numbers, numbers ? record->MaxVer : 0));
  SetField(fields, "Player", NumberOrNone(numbers, numbers ? record->Player : 0));
  SetField(fields, "NumHoles", NumberOrNone(numbers, numbers ? record->NumHoles : 0));
  SetField(fields, "NumBones", NumberOrNone(numbers, numbers ? record->NumBones : 0));
  SetField(fields, "LogLevel", NumberOrNone(numbers, numbers ? record->LogLevel : 0));
  SetField(fields, "Param", NumberOrNone(numbers, numbers ? record->Param : 0));
  for (const char* text : {"name", "creator", "description"})
    SetField(fields, text, PyUnicode_FromString(""));
  PyObject* none = PyTuple_New(0);
  PyObject* info = none != nullptr ? PyObject_Call(Player.info, none, fields) : nullptr;
  Py_XDECREF(none);
  Py_DECREF(fields);
  if (info == nullptr) Fault(kInit);
  return info;
}

// Writes one text the player set into its room: UTF-8, cut at a character
// boundary, 0-terminated; nothing behind the 0 byte.
void WriteText(PyObject* info, const char* key, char* room, size_t size) {
  PyObject* text = PyObject_GetAttrString(info, key);
  if (text == nullptr) {
    PyErr_Clear();  // deleted: left empty
    return;
  }
  if (!PyUnicode_Check(text)) {
    PyErr_Format(PyExc_TypeError, "info.%s is %.100s, not a str", key, Py_TYPE(text)->tp_name);
    Fault(kInit);
  }
  Py_ssize_t length = 0;
  const char* utf8 = PyUnicode_AsUTF8AndSize(text, &length);
  if (utf8 == nullptr) Fault(kInit);
  size_t n = static_cast<size_t>(length) < size - 1 ? static_cast<size_t>(length) : size - 1;
  while (n > 0 && n < static_cast<size_t>(length) && (utf8[n] & 0xC0) == 0x80) --n;
  std::memcpy(room, utf8, n);
  room[n] = '\0';
  Py_DECREF(text);
}

}  // namespace

extern "C" {

PS_EXPORT int PsPythonLoad(const char* path, char* error, size_t error_size) {
  if (Player.loaded || Py_IsInitialized()) {
    Copy(error, error_size, "a Python player is already running in this process");
    return 1;
  }
  MakePythonGlobal();
  if (const auto failed = StartPython()) {
    Copy(error, error_size, failed->text);
    return 1;
  }
  Player.file = path;
  if (const auto failed = Import(path)) {
    Copy(error, error_size, failed->text);
    return 1;
  }
  Player.loaded = true;
  return 0;
}

PS_EXPORT PsBool PsInit(PsInfo* Info) {
  if (!Player.loaded) return 0;
  const bool numbers = Info->Size >= 32, texts = Info->Size >= PS_INFO_SIZE;
  if (numbers) {
    Player.num_holes = Info->NumHoles < 1              ? 1
                       : Info->NumHoles > PS_MAX_HOLES ? PS_MAX_HOLES
                                                       : Info->NumHoles;
    Info->CurrVer = Info->MaxVer >= PS_INTERFACE_VERSION ? PS_INTERFACE_VERSION : Info->MaxVer;
  }
  PyObject* info = MakeInfo(Info, numbers);
  PyObject* answer = Call(kInit, &info, 1);
  // Any answer counts by its truth, as Python's own if would take it.
  const int ready = PyObject_IsTrue(answer);
  if (ready < 0) Fault(kInit);
  if (texts) {
    WriteText(info, "name", Info->name, sizeof Info->name);
    WriteText(info, "creator", Info->creator, sizeof Info->creator);
    WriteText(info, "description", Info->description, sizeof Info->description);
  }
  Py_DECREF(answer);
  Py_DECREF(info);
  return ready != 0 ? 1 : 0;
}

PS_EXPORT int32_t PsGetTurn(const HoleRow MyHoles, const HoleRow OppHoles, int32_t MyStore,
                            int32_t OppStore) {
  PyObject* args[4] = {Row(MyHoles), Row(OppHoles), Int(kGetTurn, MyStore),
                       Int(kGetTurn, OppStore)};
  PyObject* answer = Call(kGetTurn, args, 4);
  for (PyObject* a : args) Py_DECREF(a);
  const int32_t hole = HoleOf(answer);
  Py_DECREF(answer);
  return hole;
}

PS_EXPORT void PsOppTurn(int32_t Hole) {
  PyObject* hole = Int(kOppTurn, Hole);
  Py_DECREF(Call(kOppTurn, &hole, 1));
  Py_DECREF(hole);
}

PS_EXPORT void PsEndRound(int32_t My, int32_t Opp, int32_t Turns) {
  PyObject* args[3] = {Int(kEndRound, My), Int(kEndRound, Opp), Int(kEndRound, Turns)};
  Py_DECREF(Call(kEndRound, args, 3));
  for (PyObject* a : args) Py_DECREF(a);
}

// After done() the interpreter is finalised: the player's open files are
// flushed and closed, its atexit functions run.
PS_EXPORT void PsDone(void) {
  Py_DECREF(Call(kDone, nullptr, 0));
  for (PyObject*& fn : Player.functions) Py_CLEAR(fn);
  Py_CLEAR(Player.info);
  Player.loaded = false;
  Py_FinalizeEx();
}

}  // extern "C"
