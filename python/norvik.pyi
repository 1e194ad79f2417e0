"""Norvik for test benches: find UVC cameras and their extension units, and
SET and GET their vendor controls with the texts, timeouts and CSV bytes of
the Norvik dialog."""

import enum
import os
from types import TracebackType
from typing import Literal, Optional, Tuple, Type, TypedDict, Union, overload

__version__: str

class Failure(enum.Enum):
    """Why an operation failed (norvik.Error.failure)."""
    Conversion: int
    NoSuchDevice: int
    NoSuchUnit: int
    NotListed: int
    BadGuidText: int
    OpenFailed: int
    NoChannel: int
    EmptySelector: int
    ZeroSelector: int
    LengthProbe: int
    EmptyData: int
    Request: int
    EmptyLog: int
    FileNotCreated: int
    FileNotWritten: int
    BadScenario: int
    OutOfMemory: int
    UnitInfo: int

class Error(RuntimeError):
    """A failed Norvik operation."""
    text: str
    """The text the Norvik dialog shows for it, byte for byte."""
    hresult: int
    """The platform's result code where a request was made, else 0."""
    failure: Failure

class UnitInfo:
    """One extension unit of a device, as discovery found it."""
    @property
    def position(self) -> int: ...
    @property
    def guid(self) -> str: ...
    @property
    def unit_id(self) -> int: ...
    @property
    def node(self) -> int: ...
    @property
    def matched(self) -> bool: ...

class Device:
    """One video capture device and its extension units."""
    @property
    def position(self) -> int: ...
    @property
    def friendly_name(self) -> str: ...
    @property
    def display_name(self) -> str: ...
    @property
    def vendor_id(self) -> int: ...
    @property
    def product_id(self) -> int: ...
    @property
    def has_matched_unit(self) -> bool: ...
    @property
    def units(self) -> list[UnitInfo]: ...
    @property
    def location(self) -> Optional[str]: ...
    @property
    def video_node(self) -> Optional[str]: ...
    @property
    def serial(self) -> Optional[str]: ...

class Row:
    """One SET or GET: its outcome and the six cells of its log row."""
    @property
    def is_set(self) -> bool: ...
    @property
    def ok(self) -> bool: ...
    @property
    def line_number(self) -> int: ...
    @property
    def selector(self) -> int: ...
    @property
    def hresult(self) -> int: ...
    @property
    def bytes(self) -> bytes: ...
    @property
    def line(self) -> str: ...
    @property
    def direct(self) -> str: ...
    @property
    def data_hex(self) -> str: ...
    @property
    def data_string(self) -> str: ...
    @property
    def device(self) -> str: ...
    @property
    def xu_guid(self) -> str: ...
    @property
    def cells(self) -> Tuple[str, str, str, str, str, str]:
        """The six cells in the dialog's column order."""

QueryKind = Literal["info", "min", "max", "res", "def"]

# A control described by every class query (Unit.describe). An item that is
# not available is None and named in failures ("len", "info", "cur", ... to
# "0x%08x: <system text>"). The functional form: "def" is a keyword.
Control = TypedDict("Control", {
    "selector": int,
    "length": Optional[int],
    "info": Optional[int],
    "caps": list[str],
    "cur": Optional[bytes],
    "min": Optional[bytes],
    "max": Optional[bytes],
    "res": Optional[bytes],
    "def": Optional[bytes],
    "failures": dict[str, str],
})

class Unit:
    """An open extension unit; a context manager that closes it."""
    def length(self, cs: int) -> int:
        """The data length of control selector cs."""
    def get(self, cs: int) -> bytes:
        """Reads control cs."""
    def set(self, cs: int, data: Union[bytes, bytearray, memoryview, str]) -> bytes:
        """Writes control cs; returns the bytes sent."""
    def query(self, cs: int, kind: QueryKind) -> bytes:
        """One class query of control cs; raises norvik.Error when refused."""
    def describe(self, cs: int) -> Control:
        """Every class query of control cs; refused items are None."""
    def controls(self) -> list[Control]:
        """describe() of every selector the unit declares, lowest first."""
    @property
    def log(self) -> list[Row]:
        """The transfer log, one Row per SET or GET."""
    def clear_log(self) -> None:
        """Forgets the rows; the next transfer is line 1 again."""
    def csv_bytes(self) -> bytes:
        """The log as the dialog's save writes it."""
    def save_csv(self, path: Optional[Union[str, os.PathLike[str]]] = None) -> str:
        """Writes the log as the dialog's save does; returns the file name."""
    def close(self) -> None:
        """Closes the unit."""
    @property
    def closed(self) -> bool: ...
    def __enter__(self) -> "Unit": ...
    def __exit__(self, exc_type: Optional[Type[BaseException]], exc: Optional[BaseException],
                 tb: Optional[TracebackType]) -> None: ...

class Machine:
    """The cameras a script works on: real (Machine()) or simulated (sim=)."""
    def __init__(self, sim: Optional[Union[str, os.PathLike[str]]] = None) -> None: ...
    @property
    def simulated(self) -> bool: ...
    @overload
    def discover(self, debug: Literal[False] = False) -> list[Device]: ...
    @overload
    def discover(self, debug: Literal[True]) -> Tuple[list[Device], list[str]]: ...
    @overload
    def open(self, guid: str) -> Unit: ...
    @overload
    def open(self, *, device: int, unit: int) -> Unit: ...
    def close(self) -> None:
        """Lets go of the machine; its units are closed."""
    @property
    def closed(self) -> bool: ...
    def __enter__(self) -> "Machine": ...
    def __exit__(self, exc_type: Optional[Type[BaseException]], exc: Optional[BaseException],
                 tb: Optional[TracebackType]) -> None: ...
