"""The installed kinetrope stubs (the kinetrope-stubs package) against the live module, and mypy --strict on typed callers.

Every callable pybind11 binds carries its generated signature as the first line
of its __doc__; that line is (nearly) Python syntax, so it is parsed with ast
and compared with the stub's definition: parameter names, kinds, defaults and
types, and the return type. The stub may state a few types more precisely than
the generated text does; those refinements are listed here, one rule each.
"""

from __future__ import annotations

import ast
import os
import shutil
import subprocess
import sys
from dataclasses import dataclass
from pathlib import Path

import pytest

import kinetrope

REPO = Path(__file__).resolve().parents[2]
STUB_PATH = Path(kinetrope.__file__).parent / "kinetrope-stubs" / "__init__.pyi"
# What pybind11 gives every class by itself, and the slot __init__ of a class
# that has no constructor: not part of what the module binds.
LIBRARY_MEMBERS = {"__doc__", "__module__", "__init__", "_pybind11_conduit_v1_"}


def stub_module() -> ast.Module:
    assert STUB_PATH.is_file(), f"the kinetrope-stubs package is not installed beside {kinetrope.__file__}"
    return ast.parse(STUB_PATH.read_text(encoding="utf-8"))


STUB = stub_module()


def defined_name(node: ast.stmt) -> str | None:
    if isinstance(node, (ast.FunctionDef, ast.ClassDef)):
        return node.name
    if isinstance(node, ast.AnnAssign) and isinstance(node.target, ast.Name):
        return node.target.id
    return None


def definitions(body: list[ast.stmt]) -> dict[str, ast.stmt]:
    found = {}
    for node in body:
        name = defined_name(node)
        if name is not None:
            found[name] = node
    return found


STUB_NAMES = definitions(STUB.body)
STUB_CLASSES = {name: node for name, node in STUB_NAMES.items() if isinstance(node, ast.ClassDef)}


def public(names) -> list[str]:
    return [name for name in names if not name.startswith("_")]


def live_classes() -> list[str]:
    return [name for name, value in vars(kinetrope).items() if isinstance(value, type)]


def live_members(cls: type) -> list[str]:
    members = []
    for name, value in vars(cls).items():
        bound_init = name == "__init__" and (getattr(value, "__doc__", "") or "").startswith("__init__(")
        if bound_init or name not in LIBRARY_MEMBERS:
            members.append(name)
    return members


# ---------------------------------------------------------------- signatures

def generated_signature(function) -> ast.FunctionDef:
    """The first line of a bound callable's __doc__ as a function definition."""
    doc = function.__doc__
    assert doc, f"{function!r} has no generated signature"
    line = doc.splitlines()[0]
    if line.startswith("("):  # a property getter's signature has no name
        line = "fget" + line
    return ast.parse(f"def {line}: ...").body[0]


def unqualified(node: ast.expr) -> ast.expr:
    """typing.X, collections.abc.X and kinetrope.X written as X, as the stub imports them."""
    class Strip(ast.NodeTransformer):
        def visit_Attribute(self, attribute: ast.Attribute) -> ast.AST:
            return ast.Name(attribute.attr, ast.Load())
    return Strip().visit(ast.parse(ast.unparse(node), mode="eval").body)


def parse_type(text: str) -> ast.expr:
    return ast.parse(text, mode="eval").body


# The deliberate refinements of parameter types, generated text -> stub text.
# A pip is converted from __index__ (floats are refused at run time even in
# converting mode, though float has __int__); text accepts bytes and bytearray.
PARAMETER_REFINEMENTS = {
    "SupportsInt | SupportsIndex": "SupportsIndex",
    "int": "SupportsIndex",
    "str": "str | bytes | bytearray",
}


def refined_parameter_type(node: ast.expr) -> str:
    class Refine(ast.NodeTransformer):
        def generic_visit(self, child: ast.AST) -> ast.AST:
            if isinstance(child, ast.expr):
                replacement = PARAMETER_REFINEMENTS.get(ast.unparse(child))
                if replacement is not None:
                    return parse_type(replacement)
            return super().generic_visit(child)
    return ast.unparse(Refine().generic_visit(unqualified(node)))


def return_type_matches(generated: ast.expr, stubbed: ast.expr) -> bool:
    """Equal, except that a bare generic (`list`) may be parameterised in the stub."""
    generated, stubbed = unqualified(generated), unqualified(stubbed)
    if isinstance(generated, ast.Name) and isinstance(stubbed, ast.Subscript):
        return ast.unparse(stubbed.value) == generated.id
    return ast.unparse(generated) == ast.unparse(stubbed)


@dataclass(frozen=True)
class Parameter:
    name: str | None  # None: positional-only, whose name callers never see
    kind: str
    annotation: str
    default: object


def parameters(function: ast.FunctionDef, *, generated: bool, method: bool) -> list[Parameter]:
    args = function.args
    assert args.vararg is None and args.kwarg is None, "no *args or **kwargs anywhere"
    ordered = ([(a, "positional-only") for a in args.posonlyargs]
               + [(a, "positional-or-keyword") for a in args.args]
               + [(a, "keyword-only") for a in args.kwonlyargs])
    if method:
        ordered = ordered[1:]  # self (pybind11 calls a getter's arg0)
    defaults = [None] * (len(args.posonlyargs) + len(args.args) - len(args.defaults)) + list(args.defaults)
    defaults = defaults[1:] if method else defaults
    defaults += list(args.kw_defaults)
    result = []
    for (arg, kind), default in zip(ordered, defaults):
        # pybind11 names an argument declared without py::arg "argN"; such an
        # argument cannot be passed by keyword.
        if generated and arg.arg.startswith("arg") and arg.arg[3:].isdigit():
            kind = "positional-only"
        assert arg.annotation is not None, f"{function.name}: {arg.arg} has no type"
        annotation = (refined_parameter_type(arg.annotation) if generated
                      else ast.unparse(unqualified(arg.annotation)))
        result.append(Parameter(
            None if kind == "positional-only" else arg.arg, kind, annotation,
            ast.literal_eval(default) if default is not None else "<required>"))
    return result


def stub_function(owner: str | None, name: str) -> ast.FunctionDef:
    scope = STUB_NAMES if owner is None else definitions(STUB_CLASSES[owner].body)
    assert name in scope, f"{owner or 'kinetrope'}.{name} is missing from the stub"
    node = scope[name]
    assert isinstance(node, ast.FunctionDef), f"{name} is not a function in the stub"
    return node


def decorators(node: ast.FunctionDef) -> list[str]:
    return [ast.unparse(d) for d in node.decorator_list]


def bound_callables():
    """(owner class or None, name, live callable, is a property) for everything bound."""
    for name, value in vars(kinetrope).items():
        if callable(value) and not isinstance(value, type):
            yield pytest.param(None, name, value, False, id=name)
    for cls_name in live_classes():
        cls = getattr(kinetrope, cls_name)
        for member in live_members(cls):
            value = vars(cls)[member]
            is_property = isinstance(value, property)
            yield pytest.param(cls_name, member, value.fget if is_property else value, is_property,
                               id=f"{cls_name}.{member}")


# --------------------------------------------------------------------- tests

def test_stub_lists_the_module_names_in_registration_order():
    live = [name for name in vars(kinetrope) if not name.startswith("__")]
    assert public(STUB_NAMES) == live


def test_stub_private_names_exist_only_for_type_checking():
    for name, node in STUB_NAMES.items():
        if name.startswith("_"):
            assert not hasattr(kinetrope, name)
            assert isinstance(node, ast.ClassDef) and "type_check_only" in map(ast.unparse, node.decorator_list)


def test_stub_constant_is_final_with_the_live_value():
    node = STUB_NAMES["PIPS_PER_BEAT"]
    assert isinstance(node, ast.AnnAssign) and ast.unparse(node.annotation) == "Final"
    assert ast.literal_eval(node.value) == kinetrope.PIPS_PER_BEAT


def refuses_every_call(node: ast.stmt) -> bool:
    """An __init__ taking only *args and **kwargs of type Never: how the stub
    says that a class without a bound constructor cannot be called."""
    if not isinstance(node, ast.FunctionDef) or node.name != "__init__":
        return False
    args = node.args
    rest = [args.vararg, args.kwarg]
    return (len(args.args) == 1 and not args.posonlyargs and not args.kwonlyargs
            and all(a is not None and a.annotation is not None and ast.unparse(a.annotation) == "Never"
                    for a in rest))


@pytest.mark.parametrize("cls_name", live_classes())
def test_stub_class_members_in_registration_order(cls_name):
    assert cls_name in STUB_CLASSES
    stubbed = [name for name, node in definitions(STUB_CLASSES[cls_name].body).items()
               if not refuses_every_call(node)]
    assert stubbed == live_members(getattr(kinetrope, cls_name))


@pytest.mark.parametrize("owner, name, function, is_property", list(bound_callables()))
def test_stub_signature_matches_generated_signature(owner, name, function, is_property):
    generated = generated_signature(function)
    stubbed = stub_function(owner, name)
    if owner is None or is_property:
        assert decorators(stubbed) == (["property"] if is_property else [])
    if is_property:
        live = vars(getattr(kinetrope, owner))[name]
        assert live.fset is None and live.fdel is None  # read-only, as the stub says
    method = owner is not None
    assert (parameters(stubbed, generated=False, method=method)
            == parameters(generated, generated=True, method=method))
    assert stubbed.returns is not None
    assert return_type_matches(generated.returns, stubbed.returns), \
        f"{ast.unparse(generated.returns)} vs {ast.unparse(stubbed.returns)}"


# ---------------------------------------------------------------------- mypy

def mypy(paths: list[Path], tmp_path: Path) -> subprocess.CompletedProcess[str]:
    """mypy --strict over `paths`, resolving kinetrope to the installed stub."""
    try:
        import mypy  # noqa: F401
    except ImportError:
        if os.environ.get("CI"):
            raise
        pytest.skip("mypy is not installed (it is in requirements-dev.txt)")
    stubs = tmp_path / "stubs"
    stubs.mkdir()
    shutil.copy(STUB_PATH, stubs / "kinetrope.pyi")
    env = dict(os.environ, MYPYPATH=str(stubs))
    command = [sys.executable, "-m", "mypy", "--strict", "--no-error-summary",
               "--cache-dir", str(tmp_path / "cache"), *map(str, paths)]
    return subprocess.run(command, capture_output=True, text=True, env=env, cwd=tmp_path)


def test_examples_and_typed_usage_pass_mypy_strict(tmp_path):
    result = mypy([REPO / "examples", REPO / "tests" / "typing"], tmp_path)
    assert result.returncode == 0, result.stdout + result.stderr


def test_typed_usage_runs_against_the_live_module():
    subprocess.run([sys.executable, str(REPO / "tests" / "typing" / "usage.py")], check=True)


# Calls the module refuses at run time; the stub has to refuse them as well.
MISUSES = [
    "kinetrope.bounce(1.0)",
    "kinetrope.bounce(pip=1)",
    "kinetrope.sample('bounce', 2.5)",
    "kinetrope.sample(None, 1)",
    "kinetrope.catalogue()[0]['period_pips'].upper()",
    "kinetrope.sample('bounce', 1).x = 0.0",
    "kinetrope.SampledPattern('a', 'b', [(0.0, 0.0, '1')])",
    "kinetrope.SampledPattern('a', 'b', [(0.0, 0.0, 0.0)]).sample(1.0)",
    "kinetrope.PatternLibrary([1])",
    "kinetrope.SampledRecording('r', ['x'], [[0.0]], 120.0).sample(0.0)",
    "kinetrope.Offset3(0.0, 0.0, 0.0)",
    "kinetrope.SampledRecording('r', ['x'], [[0.0]], '120')",
]


def test_mypy_strict_rejects_what_the_module_refuses(tmp_path):
    source = tmp_path / "misuse.py"
    source.write_text("import kinetrope\n" + "\n".join(MISUSES) + "\n", encoding="utf-8")
    result = mypy([source], tmp_path)
    flagged = {int(line.split(":")[1]) for line in result.stdout.splitlines() if ": error:" in line}
    assert flagged == set(range(2, len(MISUSES) + 2)), result.stdout
