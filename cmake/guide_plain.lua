-- Pandoc filter for the plain-text guide (README-ru.txt), read in Notepad.

-- The text as words with breakable spaces between them.
local function words(text)
  local result = {}
  for word in (text .. " "):gmatch("([^ ]*) ") do
    if #result > 0 then table.insert(result, pandoc.Space()) end
    table.insert(result, pandoc.Str(word))
  end
  return result
end

-- Inline code becomes ordinary words, so that long commands and messages wrap like any
-- other text instead of running past the line width.
function Code(el)
  return words(el.text)
end

-- A picture cannot be shown in plain text: name it and say where it is seen.
function Image(el)
  return words("(Рисунок «" .. pandoc.utils.stringify(el.caption) .. "» — в guide-ru.html.)")
end
