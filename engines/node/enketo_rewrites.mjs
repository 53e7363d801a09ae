// The rewrites Enketo's form engine applies to an expression before its
// evaluator sees it, emulated here on the expression's tokens:
//
//   pulldata('t', 'col', 'key', q)   -> instance('t')/root/item[key = "value of q"]/col
//   indexed-repeat(/d/r/x, /d/r, n)  -> /d/r[value of n]/x (one [n] per repeat named)
//   current()                        -> the context node's own path, rows indexed
//   /d/r/x inside row k of /d/r      -> /d/r[k]/x, only when the model does not
//                                       declare odk:xforms-version
//   instance('t')                    -> /model/instance[@id="t"]
//   /d/...                           -> /model/instance[1]/d/... (the evaluator sees all
//                                       instances in one <model> document)

const OPERATOR_NAMES = new Set(['and', 'or', 'div', 'mod']);
const NODE_TYPES = new Set(['node', 'text', 'comment', 'processing-instruction']);
const SYMBOLS = ['//', '::', '..', '!=', '<=', '>=', '/', '(', ')', '[', ']', ',', '@', '|', '+',
    '-', '=', '<', '>', '*', '.', '$'];

export function tokenize(text) {
    const tokens = [];
    let at = 0;
    while (at < text.length) {
        const rest = text.slice(at);
        const match = /^\s+/.exec(rest)
            ?? /^("[^"]*"|'[^']*')/.exec(rest)
            ?? /^(\d+(\.\d*)?|\.\d+)/.exec(rest)
            ?? /^[A-Za-z_\u00C0-\uFFFF][\w.\-\u00B7\u00C0-\uFFFF]*(:(\*|[A-Za-z_\u00C0-\uFFFF][\w.\-\u00B7\u00C0-\uFFFF]*))?/.exec(rest);
        let kind;
        let value;
        if (match) {
            value = match[0];
            kind = /^\s/.test(value) ? 'space' : /^["']/.test(value) ? 'literal'
                : /^[\d.]/.test(value) ? 'number' : 'name';
        } else {
            value = SYMBOLS.find((symbol) => rest.startsWith(symbol));
            if (!value) throw new Error(`unexpected character ${JSON.stringify(rest[0])}`);
            kind = 'symbol';
        }
        tokens.push({ kind, value });
        at += value.length;
    }
    classify(tokens);
    return tokens;
}

// XPath's lexical rule: after an operand, "*" multiplies and and/or/div/mod are
// operators; anywhere else they are a name test and names.
function classify(tokens) {
    let previous = null;
    for (const token of tokens) {
        if (token.kind === 'space') continue;
        const afterOperand = previous !== null && !(previous.kind === 'symbol'
            && ['@', '::', '(', '[', ',', '/', '//', '|', '+', '-', '=', '!=', '<', '<=', '>',
                '>=', '$'].includes(previous.value))
            && !previous.operator;
        token.operator = afterOperand
            && ((token.kind === 'symbol' && token.value === '*')
                || (token.kind === 'name' && OPERATOR_NAMES.has(token.value)));
        token.startsOperand = !afterOperand;
        previous = token;
    }
}

function next(tokens, at) {
    let i = at + 1;
    while (i < tokens.length && tokens[i].kind === 'space') ++i;
    return i;
}

function isSymbol(token, value) {
    return token !== undefined && token.kind === 'symbol' && token.value === value;
}

function closing(tokens, open) {
    let depth = 0;
    for (let i = open; i < tokens.length; ++i) {
        if (isSymbol(tokens[i], '(') || isSymbol(tokens[i], '[')) ++depth;
        if (isSymbol(tokens[i], ')') || isSymbol(tokens[i], ']')) --depth;
        if (depth === 0) return i;
    }
    throw new Error('unbalanced brackets');
}

function text(tokens, from = 0, to = tokens.length) {
    return tokens.slice(from, to).map((token) => token.value).join('');
}

/** The argument texts of the call whose "(" is at `open`, and the index of its ")". */
function callArguments(tokens, open) {
    const end = closing(tokens, open);
    const args = [];
    let start = open + 1;
    let depth = 0;
    for (let i = open + 1; i < end; ++i) {
        if (isSymbol(tokens[i], '(') || isSymbol(tokens[i], '[')) ++depth;
        if (isSymbol(tokens[i], ')') || isSymbol(tokens[i], ']')) --depth;
        if (depth === 0 && isSymbol(tokens[i], ',')) {
            args.push(text(tokens, start, i).trim());
            start = i + 1;
        }
    }
    if (text(tokens, start, end).trim() || args.length) args.push(text(tokens, start, end).trim());
    return { args, end };
}

function isCall(tokens, at, name) {
    const token = tokens[at];
    return token.kind === 'name' && token.value === name && !token.operator
        && isSymbol(tokens[next(tokens, at)], '(');
}

/**
 * The steps of the location path starting at `at` (a "/" or "//" where an
 * operand starts): [{name, at, predicate}] for each plain name step, and the
 * index just past the path.
 */
function absolutePath(tokens, at) {
    const steps = [];
    let i = at;
    let expectStep = true;
    let plain = true;
    while (i < tokens.length) {
        const token = tokens[i];
        if (token.kind === 'space') break;
        if (isSymbol(token, '/') || isSymbol(token, '//')) {
            plain = plain && token.value === '/';
            expectStep = true;
            ++i;
        } else if (expectStep && (token.kind === 'name' || isSymbol(token, '*')
            || isSymbol(token, '.') || isSymbol(token, '..') || isSymbol(token, '@'))) {
            if (NODE_TYPES.has(token.value) && isSymbol(tokens[i + 1], '(')) {
                i = closing(tokens, i + 1) + 1;
                plain = false;
            } else if (isSymbol(token, '@') || isSymbol(tokens[i + 1], '::')) {
                plain = false;
                i += isSymbol(token, '@') ? 1 : 2;
                continue;
            } else {
                if (token.kind === 'name' && plain) steps.push({ name: token.value, at: i, predicate: false });
                else plain = false;
                ++i;
            }
            expectStep = false;
        } else if (!expectStep && isSymbol(token, '[')) {
            if (steps.length && plain) steps[steps.length - 1].predicate = true;
            i = closing(tokens, i) + 1;
        } else {
            break;
        }
    }
    return { steps, end: i };
}

function quote(value) {
    if (!value.includes('"')) return `"${value}"`;
    if (!value.includes("'")) return `'${value}'`;
    return `concat(${value.split('"').map((part) => `"${part}"`).join(`, '"', `)})`;
}

/**
 * Rewrites `expression` as Enketo's form engine does for a rule evaluated at
 * `context`: {path, rows: [{repeat, position}]} (the repeats that hold the
 * context node, outermost first), `positions` whether to add row positions,
 * and `evaluate(expression)` for the arguments the rewrite needs the value of.
 */
export function rewrite(expression, context) {
    const tokens = tokenize(expression);
    const out = [];
    const rowPositions = new Map();
    for (let i = 0; i < tokens.length; ++i) {
        const token = tokens[i];
        if (isCall(tokens, i, 'pulldata')) {
            const { args, end } = callArguments(tokens, next(tokens, i));
            out.push(rewrite(pulldataPath(args, context), context));
            i = end;
        } else if (isCall(tokens, i, 'indexed-repeat')) {
            const { args, end } = callArguments(tokens, next(tokens, i));
            out.push(rewrite(indexedRepeatPath(args, context), context));
            i = end;
        } else if (isCall(tokens, i, 'current')) {
            out.push(`/model/instance[1]${context.path}`);
            i = closing(tokens, next(tokens, i));
        } else if (isCall(tokens, i, 'instance')) {
            const { args, end } = callArguments(tokens, next(tokens, i));
            out.push(args.length ? `/model/instance[@id=${args[0]}]` : '/model/instance[1]');
            i = end;
        } else if ((isSymbol(token, '/') || isSymbol(token, '//')) && token.startsOperand) {
            const { steps } = absolutePath(tokens, i);
            if (context.positions) addRowPositions(steps, i, context.rows ?? [], rowPositions);
            out.push('/model/instance[1]' + (steps.length || !isLonePath(tokens, i) ? token.value : ''));
        } else {
            out.push(token.value + (rowPositions.get(i) ?? ''));
        }
    }
    return out.join('');
}

function isLonePath(tokens, at) {
    const after = tokens[at + 1];
    return tokens[at].value === '/' && !(after && (after.kind === 'name' || isSymbol(after, '*')
        || isSymbol(after, '@') || isSymbol(after, '.') || isSymbol(after, '..')));
}

/** Marks the step of each repeat holding the context, where the path names it plainly. */
function addRowPositions(steps, from, rows, marks) {
    for (const { repeat, position } of rows) {
        const names = repeat.split('/').filter(Boolean);
        if (names.length > steps.length || steps[0].at !== from + 1) continue;
        const plain = names.every((name, k) => steps[k].name === name
            && steps[k].at === steps[0].at + 2 * k);
        const step = steps[names.length - 1];
        if (plain && !step.predicate) marks.set(step.at, `[${position}]`);
    }
}

function pulldataPath(args, context) {
    if (args.length !== 4) throw new Error('pulldata() takes four arguments');
    const [id, column, key, query] = args.map((arg) => context.evaluate(rewrite(arg, context)));
    return `instance(${quote(id)})/root/item[${key} = ${quote(query)}]/${column}`;
}

function indexedRepeatPath(args, context) {
    if (args.length < 3 || args.length % 2 === 0) {
        throw new Error('indexed-repeat() takes a path and pairs of repeat and position');
    }
    const steps = args[0].split('/');
    for (let k = 1; k < args.length; k += 2) {
        const names = args[k].replace(/\/+$/, '').split('/');
        if (!names.every((name, n) => steps[n] !== undefined && steps[n].replace(/\[.*$/, '') === name)) {
            throw new Error(`${args[0]} is not inside ${args[k]}`);
        }
        const position = Number(context.evaluate(rewrite(args[k + 1], context)));
        steps[names.length - 1] = `${names[names.length - 1]}[${position}]`;
    }
    return steps.join('/');
}
