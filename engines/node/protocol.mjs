// What the browser-engine drivers share: the packages installed by
// scripts/engines.sh, a browser's globals from jsdom, the JSON-lines loop and
// instance paths written as tolvar writes them ("/data/rep[2]/q").
import { createRequire } from 'node:module';
import path from 'node:path';
import readline from 'node:readline';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const installed = process.env.TOLVAR_ENGINES_NODE
    ?? path.join(here, '..', '..', 'build', 'engines', 'node');

/** require() from the installed packages, not from this folder. */
export const requireInstalled = createRequire(path.join(installed, 'package.json'));

/** Gives node the globals a browser page has, from one jsdom window. */
export function browserGlobals() {
    const { JSDOM } = requireInstalled('jsdom');
    const { window } = new JSDOM('');
    globalThis.window = window;
    globalThis.document = window.document;
    for (const name of ['DOMParser', 'XMLSerializer', 'Node', 'Element', 'Attr', 'Document',
        'XPathResult', 'XPathEvaluator']) {
        globalThis[name] = window[name];
    }
    return window;
}

/** Answers each request line with one reply line, in order; `handle` may be async. */
export async function serve(handle) {
    const lines = readline.createInterface({ input: process.stdin, crlfDelay: Infinity });
    for await (const line of lines) {
        if (!line.trim()) continue;
        let reply;
        try {
            reply = await handle(JSON.parse(line));
        } catch (error) {
            reply = { error: describe(error) };
        }
        process.stdout.write(JSON.stringify(reply) + '\n');
    }
}

export function describe(error) {
    const message = error && error.message !== undefined ? error.message : String(error);
    return message.trim() || (error && error.name) || 'error';
}

export function parseXml(text, what) {
    const document = new DOMParser().parseFromString(text, 'text/xml');
    const fault = document.getElementsByTagName('parsererror')[0];
    if (fault) throw new Error(`${what}: ${fault.textContent.trim()}`);
    return document;
}

export function childElements(node) {
    return Array.from(node.childNodes).filter((child) => child.nodeType === 1);
}

/** ["data", 1], ["rep", 2], ... for "/data/rep[2]"; a missing [n] is [1]. */
export function pathSteps(text) {
    return text.split('/').filter(Boolean).map((step) => {
        const match = /^([^[]+)(?:\[(\d+)\])?$/.exec(step);
        if (!match) throw new Error(`not an instance path: ${text}`);
        return [match[1], match[2] ? Number(match[2]) : 1];
    });
}

/** The one spelling of a path that drivers compare: every step indexed. */
export function pathKey(text) {
    return pathSteps(text).map(([name, index]) => `/${name}[${index}]`).join('');
}

/** The element an instance path names below `root` (which it may name first). */
export function findElement(root, text) {
    let steps = pathSteps(text);
    if (steps.length && steps[0][0] === root.localName) steps = steps.slice(1);
    let node = root;
    for (const [name, index] of steps) {
        node = childElements(node).filter((child) => child.localName === name)[index - 1];
        if (!node) throw new Error(`no node at ${text}`);
    }
    return node;
}

/** "[n]" when the element has a same-named sibling, as tolvar writes paths. */
export function siblingPosition(element) {
    const parent = element.parentNode;
    if (!parent || parent.nodeType !== 1) return '';
    const same = childElements(parent).filter((c) => c.localName === element.localName);
    return same.length > 1 ? `[${same.indexOf(element) + 1}]` : '';
}

export function elementPath(element) {
    const steps = [];
    for (let node = element; node && node.nodeType === 1; node = node.parentNode) {
        steps.unshift(`/${node.localName}${siblingPosition(node)}`);
    }
    return steps.join('');
}

export function isLeaf(element) {
    return childElements(element).length === 0;
}
