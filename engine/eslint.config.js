// The engine runs in the page (engine/src); everything else, its tests, the
// bundling, fixtures and benchmarks, runs in node. Used from the top of the
// tree by scripts/format.
import js from '@eslint/js';
import globals from 'globals';

export default [
  { ignores: ['**/node_modules/'] },
  js.configs.recommended,
  { languageOptions: { globals: globals.node } },
  { files: ['engine/src/**/*.js'], languageOptions: { globals: globals.browser } },
];
